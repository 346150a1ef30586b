// The folder tree.
#include "ui/cdirtree.h"

#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QPointer>
#include <memory>
#include <thread>

#include "ui/art.h"

namespace kestrow {

namespace {

enum Role { PathRole = Qt::UserRole, KindRole, StateRole, SharesRole };
enum State { Unlisted = 0, Listing = 1, Listed = 2 };

QString FromStd(const std::string& s) {
    return QString::fromStdString(s);
}

QTreeWidgetItem* MakeItem(CDirTree::Kind kind, const std::string& label, const QString& path) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, FromStd(platform::TreeLabel(label)));
    item->setData(0, PathRole, path);
    item->setData(0, KindRole, static_cast<int>(kind));
    item->setData(0, StateRole, Unlisted);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

}  // namespace

CDirTree::Sources CDirTree::SystemSources() {
    Sources s;
    s.drives = [] {
        const char* home = std::getenv("HOME");
        return platform::ListDrives(platform::ParseMountInfo(platform::ReadMountInfo()), home ? home : "",
                                    platform::SystemDriveProbe());
    };
    s.network = [] {
        const std::string gvfs = platform::GvfsDirectory();
        return platform::NetworkServers(platform::ParseMountInfo(platform::ReadMountInfo()),
                                        platform::ListEntryNames(gvfs), gvfs);
    };
    return s;
}

CDirTree::CDirTree(QWidget* parent, Sources sources) : QTreeWidget(parent), m_sources(std::move(sources)) {
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(true);
    connect(this, &QTreeWidget::itemExpanded, this, &CDirTree::Expanding);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (!current) return;
        const Kind kind = KindOf(current);
        if (kind == Kind::Network || kind == Kind::Server) return;
        m_remembered = PathOf(current);
        emit pathRemembered(m_remembered);
    });
}

CDirTree::Kind CDirTree::KindOf(const QTreeWidgetItem* item) {
    return static_cast<Kind>(item->data(0, KindRole).toInt());
}

QString CDirTree::PathOf(const QTreeWidgetItem* item) {
    return item->data(0, PathRole).toString();
}

bool CDirTree::Populated(const QTreeWidgetItem* item) {
    return item->data(0, StateRole).toInt() == Listed;
}

void CDirTree::Busy(int delta) {
    m_pending += delta;
    if (m_pending > 0)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

// Runs `work` on a thread of its own (a listing on a dead server may never return, so it must
// not hold a pooled thread) and hands its result to `done` on the window's thread, unless the
// tree was rebuilt or deleted meanwhile.
template <class Work, class Done>
void CDirTree::RunAsync(Work work, Done done) {
    Busy(+1);
    const std::uint64_t generation = m_generation;
    std::thread([tree = QPointer<CDirTree>(this), generation, work = std::move(work),
                 done = std::move(done)] {
        auto result = std::make_shared<decltype(work())>(work());
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        QMetaObject::invokeMethod(
            app,
            [tree, generation, result, done] {
                // A rebuild forgot the listings of the old tree, their count included.
                if (!tree || tree->m_generation != generation) return;
                tree->Busy(-1);
                done(*result);
            },
            Qt::QueuedConnection);
    }).detach();
}

void CDirTree::BuildTree(const QString& reopen) {
    ++m_generation;
    // Listings of the old tree that are still out no longer count.
    m_pending = 0;
    unsetCursor();
    clear();
    const std::vector<platform::Drive> drives =
        m_sources.drives ? m_sources.drives() : std::vector<platform::Drive>{};
    std::vector<std::string> roots;
    QList<QTreeWidgetItem*> top;
    for (const platform::Drive& d : drives) {
        QTreeWidgetItem* item = MakeItem(Kind::Drive, d.label, FromStd(d.root));
        item->setIcon(0, ArtIcon(DriveArt(d.type)));
        top.push_back(item);
        roots.push_back(d.root);
    }
    QTreeWidgetItem* network = MakeItem(Kind::Network, "Network Neighbourhood", QString());
    network->setText(0, QStringLiteral("Network Neighbourhood"));
    network->setIcon(0, ArtIcon(Art::Network));
    top.push_back(network);
    addTopLevelItems(top);

    const platform::RootedPath target = platform::SplitBelowRoots(roots, reopen.toStdString());
    if (target.root < 0) {
        emit treeOpened(m_remembered);
        return;
    }
    QTreeWidgetItem* drive = top[target.root];
    drive->setData(0, StateRole, Listing);
    const std::string root = roots[static_cast<std::size_t>(target.root)];
    RunAsync([root, components = target.components] { return platform::ListOpenChain(root, components); },
             [this, drive](const std::vector<platform::OpenLevel>& levels) { Opened(levels, drive); });
}

void CDirTree::Opened(const std::vector<platform::OpenLevel>& levels, QTreeWidgetItem* drive) {
    QTreeWidgetItem* item = drive;
    for (const platform::OpenLevel& level : levels) {
        Populate(item, level.children, level.listed);
        // Expanding an item chooses it; the last one opened stays chosen.
        if (item->childCount() > 0) expandItem(item);
        setCurrentItem(item);
        if (level.chosen < 0 || level.chosen >= item->childCount()) break;
        item = item->child(level.chosen);
    }
    scrollToItem(currentItem(), QAbstractItemView::PositionAtCenter);
    emit treeOpened(m_remembered);
}

void CDirTree::Expanding(QTreeWidgetItem* item) {
    if (item->data(0, StateRole).toInt() == Unlisted) {
        switch (KindOf(item)) {
            case Kind::Network:
                item->setData(0, StateRole, Listing);
                RunAsync(
                    [source = m_sources.network] {
                        return source ? source() : std::vector<platform::NetworkServer>{};
                    },
                    [this, item](const std::vector<platform::NetworkServer>& servers) {
                        PopulateNetwork(item, servers);
                    });
                break;
            case Kind::Server:
                PopulateServer(item);
                break;
            default:
                ListAsync(item);
                break;
        }
    }
    if (currentItem() != item) setCurrentItem(item);
}

void CDirTree::ListAsync(QTreeWidgetItem* item) {
    item->setData(0, StateRole, Listing);
    RunAsync(
        [path = PathOf(item).toStdString()] {
            std::pair<bool, std::vector<std::string>> out;
            out.first = platform::ListSubdirNames(path, out.second);
            return out;
        },
        [this, item](const std::pair<bool, std::vector<std::string>>& result) {
            Populate(item, result.second, result.first);
        });
}

void CDirTree::Populate(QTreeWidgetItem* item, const std::vector<std::string>& names, bool listed) {
    if (item->data(0, StateRole).toInt() == Listed) return;
    item->setData(0, StateRole, Listed);
    const std::string parent = PathOf(item).toStdString();
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& name : names)
        children.push_back(MakeItem(Kind::Directory, name, FromStd(platform::ChildPath(parent, name))));
    // A folder that is empty, or cannot be read, loses its expand button until the next rebuild.
    if (!listed || children.isEmpty()) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        item->setExpanded(false);
        return;
    }
    item->addChildren(children);
}

void CDirTree::PopulateNetwork(QTreeWidgetItem* item, const std::vector<platform::NetworkServer>& servers) {
    item->setData(0, StateRole, Listed);
    QList<QTreeWidgetItem*> children;
    for (const platform::NetworkServer& server : servers) {
        QTreeWidgetItem* s = MakeItem(Kind::Server, server.name, QString());
        s->setIcon(0, ArtIcon(Art::Network));
        QStringList shares;
        for (const platform::NetworkShare& share : server.shares)
            shares << FromStd(share.name) << FromStd(share.path);
        s->setData(0, SharesRole, shares);
        children.push_back(s);
    }
    if (children.isEmpty()) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        item->setExpanded(false);
        return;
    }
    item->addChildren(children);
}

void CDirTree::PopulateServer(QTreeWidgetItem* item) {
    item->setData(0, StateRole, Listed);
    const QStringList shares = item->data(0, SharesRole).toStringList();
    QList<QTreeWidgetItem*> children;
    for (qsizetype i = 0; i + 1 < shares.size(); i += 2) {
        QTreeWidgetItem* share = MakeItem(Kind::Share, shares[i].toStdString(), shares[i + 1]);
        share->setIcon(0, ArtIcon(Art::DriveNetwork));
        children.push_back(share);
    }
    if (children.isEmpty()) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        item->setExpanded(false);
        return;
    }
    item->addChildren(children);
}

}  // namespace kestrow
