// The folder tree and the directory list: re-opening a path after a rebuild, lazy filling, the
// network's servers, the list's rows, marks and sizes read through the accessibility interface,
// a fill cancelled by the next, and the keys and selection that a job starts from.
#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "tests/support/golden.h"
#include "tests/support/tempdir.h"
#include "ui/cdirtree.h"
#include "ui/ckestrowdlg.h"
#include "ui/cmdclist.h"
#include "ui/dirlistmodel.h"

namespace kestrow {

namespace fs = std::filesystem;
using Ctl = CKestrowDlg::Ctl;

namespace {

QTreeWidgetItem* ChildLabelled(QTreeWidgetItem* parent, const QString& label) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == label) return parent->child(i);
    }
    return nullptr;
}

}  // namespace

class DirTreeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> m_tmp;
    std::string m_root;  // the one "drive" of the trees under test

    CDirTree::Sources Sources() {
        CDirTree::Sources s;
        s.drives = [root = m_root] {
            return std::vector<platform::Drive>{{root, "DATA", platform::DriveType::Removable}};
        };
        s.network = [] {
            return std::vector<platform::NetworkServer>{
                {"NAS", {{"MUSIC", "/mnt/nas/"}, {"photos", "/run/gvfs/smb-share:server=nas,share=photos/"}}},
                {"empty", {}}};
        };
        return s;
    }

private slots:
    void init() {
        m_tmp = std::make_unique<test::TempDir>();
        m_root = *m_tmp / "";
    }
    void cleanup() { m_tmp.reset(); }

    void ReopensAPathAfterARebuild_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("opened");
        QTest::newRow("components without regard to case") << "MUSIC/album/"
                                                           << "Music/Album/";
        QTest::newRow("a vanished component stops the walk") << "Music/Gone/Deeper"
                                                             << "Music/";
        QTest::newRow("the exact spelling first") << "music"
                                                  << "music/";
        QTest::newRow("the drive itself") << ""
                                          << "";
    }
    void ReopensAPathAfterARebuild() {
        QFETCH(QString, target);
        QFETCH(QString, opened);
        test::MakeDirs(m_root + "Music/Album/CD1");
        test::MakeDirs(m_root + "music");
        CDirTree tree(nullptr, Sources());
        QSignalSpy spy(&tree, &CDirTree::treeOpened);
        // Twice: the second build starts over from nothing.
        for (int round = 0; round < 2; ++round) {
            spy.clear();
            tree.BuildTree(QString::fromStdString(m_root) + target);
            QTRY_COMPARE(spy.count(), 1);
            QCOMPARE(tree.RememberedPath(), QString::fromStdString(m_root) + opened);
            QCOMPARE(CDirTree::PathOf(tree.currentItem()), tree.RememberedPath());
            QCOMPARE(tree.topLevelItemCount(), 2);
        }
        // Labels follow the case rule; paths keep the names as they are on disk.
        QCOMPARE(tree.topLevelItem(0)->text(0), QStringLiteral("Data"));
        QCOMPARE(tree.topLevelItem(1)->text(0), QStringLiteral("Network Neighbourhood"));
    }

    void FillsItemsWhenExpandedAndDropsTheButtonOfEmptyOnes() {
        test::MakeDirs(m_root + "CD1/inner");
        test::MakeDirs(m_root + "empty");
        CDirTree tree(nullptr, Sources());
        QSignalSpy spy(&tree, &CDirTree::treeOpened);
        tree.BuildTree(QString::fromStdString(m_root));
        QTRY_COMPARE(spy.count(), 1);
        QTreeWidgetItem* drive = tree.topLevelItem(0);
        QCOMPARE(drive->childCount(), 2);
        QTreeWidgetItem* cd1 = ChildLabelled(drive, QStringLiteral("Cd1"));
        QTreeWidgetItem* empty = ChildLabelled(drive, QStringLiteral("empty"));
        QVERIFY(cd1 && empty);
        QCOMPARE(CDirTree::PathOf(cd1), QString::fromStdString(m_root + "CD1/"));
        QVERIFY(!CDirTree::Populated(cd1));

        tree.expandItem(empty);
        QTRY_VERIFY(CDirTree::Populated(empty));
        QCOMPARE(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
        QVERIFY(!empty->isExpanded());
        // Expanding an item chooses it.
        QCOMPARE(tree.RememberedPath(), QString::fromStdString(m_root + "empty/"));

        tree.expandItem(cd1);
        QTRY_COMPARE(cd1->childCount(), 1);
        QCOMPARE(cd1->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    }

    void NetworkNeighbourhoodHoldsServersAndTheirShares() {
        CDirTree tree(nullptr, Sources());
        tree.BuildTree(QString());
        const QString before = tree.RememberedPath();
        QTreeWidgetItem* network = tree.topLevelItem(1);
        tree.expandItem(network);
        QTRY_COMPARE(network->childCount(), 2);
        QTreeWidgetItem* nas = network->child(0);
        QCOMPARE(nas->text(0), QStringLiteral("Nas"));
        // Containers are never remembered as the folder to list.
        QCOMPARE(tree.RememberedPath(), before);
        tree.expandItem(nas);
        QCOMPARE(nas->childCount(), 2);
        QCOMPARE(nas->child(0)->text(0), QStringLiteral("Music"));
        QCOMPARE(CDirTree::PathOf(nas->child(0)), QStringLiteral("/mnt/nas/"));
        QCOMPARE(CDirTree::KindOf(nas->child(1)), CDirTree::Kind::Share);
        tree.setCurrentItem(nas->child(1));
        QCOMPARE(tree.RememberedPath(), QStringLiteral("/run/gvfs/smb-share:server=nas,share=photos/"));
        QTreeWidgetItem* empty = network->child(1);
        tree.expandItem(empty);
        QCOMPARE(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }

    // Rows in the folder's scan order, marks and sizes of each subdirectory's own files, every
    // cell readable through the accessibility interface.
    void ListShowsRowsMarksAndSizes() {
        test::WriteFile(m_root + "b_release/a.mp3", std::string(3000, 'x'));
        test::WriteFile(m_root + "b_release/list.SFV", "a.mp3 00000000\r\n");
        test::WriteFile(m_root + "b_release/deeper/big.bin", std::string(50000, 'y'));  // not counted
        test::WriteFile(m_root + "A_release/list.m3u", "a.mp3\r\n");
        test::WriteFile(m_root + "A_release/check.sfv", "");
        test::MakeDirs(m_root + "c_empty");
        test::WriteFile(m_root + "loose.txt", "a file, not a row");
        DirListModel model;
        QTreeView view;
        view.setModel(&model);
        view.resize(600, 300);
        view.show();
        model.Fill(m_root);
        QTRY_VERIFY(!model.Filling());
        // The view lays its rows out before they are readable.
        QTRY_COMPARE(view.model()->rowCount(), 3);
        QCoreApplication::processEvents();
        QCOMPARE(model.rowCount(), 3);
        QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(&view)->tableInterface();
        QVERIFY(table);
        // Each row's cells as read through the accessibility interface, the size also as bytes.
        std::string out;
        for (int row = 0; row < 3; ++row) {
            for (int column : {DirListModel::NameColumn, DirListModel::M3uColumn, DirListModel::SfvColumn,
                               DirListModel::SizeColumn}) {
                QAccessibleInterface* c = table->cellAt(row, column);
                out += (c ? c->text(QAccessible::Name).toStdString() : "(no cell)") + " | ";
            }
            out += std::to_string(model.Row(row).size) + " bytes\n";
            QVERIFY(
                !model.index(row, DirListModel::SfvColumn).data(Qt::DecorationRole).value<QIcon>().isNull());
        }
        QVERIFY(test::ExpectGolden("ui/dir_list", out));
        QCOMPARE(model.headerData(DirListModel::NameColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("DirName"));
    }

    // A new folder replaces the fill in progress: none of the old folder's rows arrive late.
    void NewFillCancelsTheOneInProgress() {
        for (int i = 0; i < 300; ++i) test::MakeDirs(m_root + "big/release_" + std::to_string(i));
        test::MakeDirs(m_root + "small/one");
        test::MakeDirs(m_root + "small/two");
        DirListModel model;
        QSignalSpy filled(&model, &DirListModel::filled);
        model.Fill(m_root + "big");
        model.Fill(m_root + "small/");
        QTRY_VERIFY(!model.Filling());
        // Time for anything the first worker still had on its way.
        QTest::qWait(300);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.Row(0).name, std::string("one"));
        QCOMPARE(model.folder(), m_root + "small/");
        QCOMPARE(filled.count(), 1);

        model.Fill(m_root + "gone/");
        QTRY_COMPARE(filled.count(), 2);
        QCOMPARE(filled.at(1).at(0).toBool(), false);
        QCOMPARE(model.rowCount(), 0);
    }

    // Start-up re-opens the saved folder as far as it still exists, and lists that.
    void StartUpOpensWhatIsLeftOfTheSavedFolder() {
        test::MakeDirs(m_root + "lib/a_one/inner");
        ProcessOptions o;
        o.lastDir = m_root + "LIB/A_ONE/gone/";
        CKestrowDlg::Setup setup;
        setup.settings.file = *m_tmp / "kestrow.ini";
        CKestrowDlg w(o, setup);
        QTRY_COMPARE(w.treePath(), QString::fromStdString(m_root + "lib/a_one/"));
        QTRY_COMPARE(w.listFolder(), w.treePath());
        QTRY_COMPARE(w.dirModel().rowCount(), 1);
        QCOMPARE(w.dirModel().Row(0).name, std::string("inner"));
    }

    // The window: Tab reaches the tree and then the list, Ctrl+A selects every row, F5 in the list
    // reads the tree's folder again, and a job processes exactly the rows selected.
    void KeysAndSelectionOfTheWindow() {
        const std::string lib = m_root + "lib/";
        for (const char* name : {"a_one", "b_two", "c_three"}) {
            test::WriteFile(lib + name + "/01.mp3", "bytes");
            test::WriteFile(lib + name + "/r.sfv", "01.mp3 00000000\r\n");
        }
        ProcessOptions o;
        o.lastProcessOption = 2;
        o.lastDir = lib;
        o.SuppressAlerts = 1;
        o.PrepareCRCCheck = 1;
        o.GeneratePrepareTagline = 1;
        o.TaglinePrefix = "[KSTW]";
        CKestrowDlg::Setup setup;
        setup.settings.file = *m_tmp / "kestrow.ini";
        CKestrowDlg w(o, setup);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* list = static_cast<QTreeView*>(w.control(Ctl::DirList));
        QTRY_COMPARE(list->model()->rowCount(), 3);
        QTRY_COMPARE(w.treePath(), QString::fromStdString(lib));
        w.control(Ctl::Tree)->setFocus();
        QTest::keyClick(w.control(Ctl::Tree), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.control(Ctl::DirList));

        list->setFocus();
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list->selectionModel()->selectedRows().size(), 3);
        list->clearSelection();
        QCOMPARE(static_cast<QAbstractButton*>(w.control(Ctl::SelectAll))->shortcut(),
                 QKeySequence(QStringLiteral("Alt+A")));
        static_cast<QAbstractButton*>(w.control(Ctl::SelectAll))->click();
        QCOMPARE(list->selectionModel()->selectedRows().size(), 3);

        test::MakeDirs(lib + "d_four");
        QTest::keyClick(list, Qt::Key_F5);
        QTRY_COMPARE(list->model()->rowCount(), 4);

        // F5 in the tree (or "Update Tree (F5)") rebuilds it at the folder the list shows.
        auto& tree = w.tree();
        tree.setCurrentItem(tree.topLevelItem(0));
        QVERIFY(w.treePath() != QString::fromStdString(lib));
        QTest::keyClick(&tree, Qt::Key_F5);
        QTRY_COMPARE(w.treePath(), QString::fromStdString(lib));

        QItemSelection rows;
        for (int row : {0, 2}) rows.select(list->model()->index(row, 0), list->model()->index(row, 3));
        list->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
        static_cast<QAbstractButton*>(w.control(Ctl::Process))->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.session().Finished() && !w.session().Active(), 30000);
        auto tagged = [&](const char* name) {
            for (const auto& e : fs::directory_iterator(lib + name)) {
                if (e.path().filename().string().rfind("[KSTW]", 0) == 0) return true;
            }
            return false;
        };
        // The log reaches the window: each directory's line and its check's result.
        QStringList log;
        for (int i = 0; i < w.log().model()->rowCount(); ++i)
            log << w.log().model()->index(i, 0).data().toString();
        QVERIFY(log.contains(QStringLiteral("Processing ") + QString::fromStdString(lib + "c_three/")));
        QVERIFY(log.contains(QStringLiteral(" ===> *BAD* CRC  <---*WARNING*!!")));
        QVERIFY(tagged("a_one"));
        QVERIFY(!tagged("b_two"));
        QVERIFY(tagged("c_three"));
        QVERIFY(!tagged("d_four"));
        w.close();
        // The folder chosen in the tree is the one opened next time.
        QVERIFY(test::ReadFile(*m_tmp / "kestrow.ini").find("lastDir=" + lib) != std::string::npos);
    }
};

}  // namespace kestrow

QTEST_MAIN(kestrow::DirTreeTest)
#include "dirtree_test.moc"
