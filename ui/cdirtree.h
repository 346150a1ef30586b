// The folder tree: the machine's drives, their folders and the network's servers and shares.
// Items are filled when first expanded, on worker threads, so that a slow or dead server never
// holds the window; a rebuild drops whatever listing is still under way.
#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/drives.h"

namespace kestrow {

class CDirTree : public QTreeWidget {
    Q_OBJECT
public:
    enum class Kind { Drive, Directory, Network, Server, Share };

    // Where the places come from: the drives (asked on the window's thread, from the mount
    // table), the network servers (asked on a worker thread) and a folder's subdirectories
    // (asked on a worker thread).
    struct Sources {
        std::function<std::vector<platform::Drive>()> drives;
        std::function<std::vector<platform::NetworkServer>()> network;
    };
    static Sources SystemSources();

    explicit CDirTree(QWidget* parent = nullptr, Sources sources = SystemSources());

    // Deletes every item, builds the drives and "Network Neighbourhood", then opens the path as
    // far as it still exists (components matched without regard to case).
    void BuildTree(const QString& reopen);

    // The path of the last folder chosen in the tree (ends with "/"); network containers are
    // never remembered.
    QString RememberedPath() const { return m_remembered; }
    static Kind KindOf(const QTreeWidgetItem* item);
    static QString PathOf(const QTreeWidgetItem* item);
    // The listings asked for and not yet arrived.
    int Pending() const { return m_pending; }
    // Whether an item's children were listed.
    static bool Populated(const QTreeWidgetItem* item);

signals:
    void pathRemembered(const QString& path);
    // The path given to BuildTree was opened as far as it goes.
    void treeOpened(const QString& path);

private:
    void Expanding(QTreeWidgetItem* item);
    void Populate(QTreeWidgetItem* item, const std::vector<std::string>& names, bool listed);
    void PopulateNetwork(QTreeWidgetItem* item, const std::vector<platform::NetworkServer>& servers);
    void PopulateServer(QTreeWidgetItem* item);
    void ListAsync(QTreeWidgetItem* item);
    void Opened(const std::vector<platform::OpenLevel>& levels, QTreeWidgetItem* drive);
    void Busy(int delta);
    template <class Work, class Done>
    void RunAsync(Work work, Done done);

    Sources m_sources;
    QString m_remembered;
    std::uint64_t m_generation = 0;
    int m_pending = 0;
};

}  // namespace kestrow
