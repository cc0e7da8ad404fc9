// The skin picker: what a folder lists and in which order, which item opens selected, how taps,
// Enter, Done and Cancel end it, and the address of the page of downloadable skins.
#include "picker_driver.h"
#include "platform/message_box.h"
#include "platform/open_url.h"
#include "platform/os_build.h"
#include "skin/skin_download.h"
#include "skin/skin_picker.h"
#include "skin/skin_tree.h"
#include "test_env.h"

#include <QDir>
#include <QLocale>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace mv {
namespace {

class SkinTreeTest : public ::testing::Test {
protected:
    // The C locale of the test run compares code points; a real locale is where punctuation
    // could be skipped. Set before the first comparison, which keeps its collator.
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    // Makes the files and folders (a trailing "/" marks a folder) under Root().
    void Make(std::initializer_list<const char*> entries) {
        for (const char* entry : entries) {
            const QString path = Root() + "/" + QString::fromUtf8(entry);
            if (path.endsWith('/'))
                ASSERT_TRUE(QDir().mkpath(path));
            else
                ASSERT_TRUE(QDir().mkpath(path.section('/', 0, -2)) && test::WriteAll(path, "x"));
        }
    }
    // The texts of a level, with "+" after a folder that shows an expand button.
    static QStringList Texts(QTreeWidgetItem* parent) {
        QStringList texts;
        for (int i = 0; i < parent->childCount(); ++i) {
            QTreeWidgetItem* child = parent->child(i);
            const bool button = child->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
            texts << child->text(0) + (button ? "+" : "");
        }
        return texts;
    }
    QString Root() const { return home.Path() + "/t"; }
    QStringList ListRoot(bool viewAll) {
        skinTree.viewAll = viewAll;
        tree.clear();
        FillFolder(skinTree, Root(), tree.invisibleRootItem());
        return Texts(tree.invisibleRootItem());
    }
    QTreeWidgetItem* Selected() const { return tree.currentItem(); }

    test::IsolatedHome home;
    QTreeWidget tree;
    SkinTree skinTree{&tree, false, {}, {}};
};

TEST_F(SkinTreeTest, ListsFoldersAndSkinFilesByTheirShownNames) {
    Make({"plain.scs", "UPPER.SCS", "abc", ".scs", "notes.txt", "skin.scs.bak", "texts/a.txt",
          "nested/inner/", "onlyhidden/.h.scs", ".hidden/a.scs", ".dot.scs"});
    // Hidden entries are left out, and a folder whose only skin is hidden has no expand button.
    EXPECT_EQ(ListRoot(false), QStringList({"nested+", "onlyhidden", "texts", "plain", "UPPER"}));
    EXPECT_EQ(ListRoot(true), QStringList({".hidden+", "nested+", "onlyhidden+", "texts", "",
                                           ".dot", "plain", "UPPER"}));

    // The extension comes back as the table spells it, whatever the file's letter case.
    EXPECT_EQ(BuildItemPath(tree.invisibleRootItem()->child(7)), "/UPPER.scs");
}

TEST_F(SkinTreeTest, SortsFoldersFirstThenByNameIgnoringCaseButNotPunctuation) {
    Make({"zz/", "Aa/", "beta.scs", "Alpha.scs", "ab.scs", "a-c.scs", "o'b.scs", "oc.scs"});
    // A hyphen or an apostrophe sorts before letters instead of being skipped.
    EXPECT_EQ(ListRoot(false),
              QStringList({"Aa", "zz", "a-c", "ab", "Alpha", "beta", "o'b", "oc"}));

    // A folder is read once per opening of the picker.
    Make({"once/a.scs"});
    tree.clear();
    FillRootAndSelect(skinTree, Root() + "/once");
    ASSERT_NE(Selected(), nullptr);
    Make({"once/later.scs"});
    ExpandFolderOnce(skinTree, Selected());
    EXPECT_EQ(Selected()->childCount(), 1);
}

TEST_F(SkinTreeTest, OpensWithTheCurrentSkinOrTheDeepestFolderThatMatchedExactly) {
    Make({"skins/Sub/My.scs", "skins/Other/x.scs"});
    const QString skins = Root() + "/skins";

    FillRootAndSelect(skinTree, skins + "/Sub/My.scs");
    ASSERT_NE(Selected(), nullptr);
    EXPECT_EQ(BuildItemPath(Selected()), skins + "/Sub/My.scs");
    EXPECT_TRUE(Selected()->parent()->isExpanded());
    EXPECT_EQ(Texts(Selected()->parent()->parent()), QStringList({"Other+", "Sub+"}));

    const std::pair<QString, QString> cases[] = {
        {skins + "/sub/My.scs", skins},          // the letter case differs
        {skins + "/Sub/my.scs", skins + "/Sub"}, // the file's case differs
        {skins + "/Sub", skins + "/Sub"},        // a folder as the current path
    };
    for (const auto& [current, expected] : cases) {
        tree.clear();
        FillRootAndSelect(skinTree, current);
        ASSERT_NE(Selected(), nullptr) << current.toStdString();
        EXPECT_EQ(BuildItemPath(Selected()), expected) << current.toStdString();
    }
}

TEST_F(SkinTreeTest, AHiddenFolderOnTheCurrentPathIsListedAnyway) {
    Make({"h/.local/share/Skins/default.scs", "h/.cache/x.scs", "h/.loc/y.scs"});
    const QString current = Root() + "/h/.local/share/Skins/default.scs";
    FillRootAndSelect(skinTree, current);
    ASSERT_NE(Selected(), nullptr);
    ASSERT_EQ(BuildItemPath(Selected()), current);
    QTreeWidgetItem* h = Selected()->parent()->parent()->parent()->parent();
    EXPECT_EQ(Texts(h), QStringList({".local+"}));
    EXPECT_EQ(h->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

// The picker as the user meets it, driven from inside its own event loop.
class SkinPickerTest : public SkinTreeTest {
protected:
    void SetUp() override {
        SkinTreeTest::SetUp();
        SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            messages << request.text;
            return boxAnswer;
        });
        SetExternalUrlOpener([this](const QUrl& url) {
            opened << url.toString(QUrl::FullyEncoded);
            return true;
        });
        Make({"skins/Sub/a.scs", "skins/b.scs"});
        current = Root() + "/skins/b.scs";
    }
    void TearDown() override {
        SetMessageBoxResponder({});
        SetExternalUrlOpener({});
    }
    bool Pick(std::deque<test::PickerAction> actions) {
        test::PickerDriver driver(std::move(actions));
        const std::optional<QString> picked = PickSkin(current, nullptr);
        openings = driver.Openings();
        if (picked)
            current = picked;
        return picked.has_value();
    }
    static void Tap(QTreeWidget& tree, QTreeWidgetItem* item) {
        tree.scrollToItem(item);
        const QRect cell = tree.visualItemRect(item);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, cell.topLeft() + QPoint(3, 3));
    }

    std::optional<QString> current; // the skin the picker opens at, and then the one chosen
    QStringList messages;
    QStringList opened;
    DialogResult boxAnswer = DialogResult::Ok;
    int openings = 0;
};

TEST_F(SkinPickerTest, ATapOnASkinChoosesItAndATapOnAFolderDoesNot) {
    const QString sub = Root() + "/skins/Sub";
    EXPECT_FALSE(Pick({[&](QDialog& picker, QTreeWidget& tree) {
        ASSERT_TRUE(test::SelectPath(tree, sub));
        Tap(tree, tree.currentItem());
        EXPECT_TRUE(picker.isVisible());
    }}));
    EXPECT_EQ(current, Root() + "/skins/b.scs");

    EXPECT_TRUE(Pick({[&](QDialog&, QTreeWidget& tree) {
        ASSERT_TRUE(test::SelectPath(tree, sub + "/a.scs"));
        Tap(tree, tree.currentItem());
    }}));
    EXPECT_EQ(current, sub + "/a.scs");
}

TEST_F(SkinPickerTest, EnterAndDoneChooseOnlyFilesCancelAndCloseNothing) {
    EXPECT_FALSE(
        Pick({[](ShellDialog& picker, QTreeWidget&) { picker.RunCommand(kCancelCommand); }}));
    EXPECT_FALSE(Pick({[](QDialog& picker, QTreeWidget&) { picker.close(); }}));
    EXPECT_EQ(current, Root() + "/skins/b.scs");

    const QString sub = Root() + "/skins/Sub";
    EXPECT_TRUE(Pick({[&](ShellDialog& picker, QTreeWidget& tree) {
        ASSERT_TRUE(test::SelectPath(tree, sub));
        tree.currentItem()->setExpanded(false);
        QTest::keyClick(&tree, Qt::Key_Return);
        EXPECT_TRUE(tree.currentItem()->isExpanded());
        QTest::keyClick(&tree, Qt::Key_Return);
        EXPECT_FALSE(tree.currentItem()->isExpanded());
        picker.RunCommand(kDoneCommand);
        EXPECT_TRUE(picker.isVisible());
        ASSERT_TRUE(test::SelectPath(tree, sub + "/a.scs"));
        QTest::keyClick(&tree, Qt::Key_Enter);
    }}));
    EXPECT_EQ(messages, QStringList({"Please select a file."}));
    EXPECT_EQ(current, sub + "/a.scs");

    // The current skin opens selected, so Done alone chooses it again.
    EXPECT_TRUE(Pick({[](ShellDialog& picker, QTreeWidget&) { picker.RunCommand(kDoneCommand); }}));
    EXPECT_EQ(current, sub + "/a.scs");
}

TEST_F(SkinPickerTest, GetSkinsAsksFirstThenOpensTheAddressAndEndsWithoutAChoice) {
    for (const DialogResult answer : {DialogResult::Cancel, DialogResult::Ok}) {
        boxAnswer = answer;
        bool stillOpen = false;
        EXPECT_FALSE(Pick({[&](ShellDialog& picker, QTreeWidget&) {
            picker.RunCommand(IDM_GET_SKINS);
            stillOpen = picker.isVisible();
        }}));
        EXPECT_EQ(stillOpen, answer == DialogResult::Cancel);
    }
    EXPECT_EQ(messages.size(), 2);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].contains("/skins/download/?width=")) << opened[0].toStdString();
}

TEST(SkinDownloadAddress, EncodesTheModelAndKeepsTheAddressWithin255Characters) {
    EXPECT_TRUE(SkinDownloadAddress(240, 320, 6001076, u"a&x=1")
                    .endsWith("/windows-mobile/marovellastrine/skins/download/?width=240"
                              "&height=320&os=6001076&device=a%26x%3D1&version=1.0.0.0"));

    for (const QString& model : {QString(300, 'M'), QString(300, QChar(0xE9))}) {
        const QString longAddress = SkinDownloadAddress(1080, 2400, 6001076, model);
        EXPECT_LE(longAddress.size(), kMaxDownloadAddressLength);
        EXPECT_GE(longAddress.size(), kMaxDownloadAddressLength - 5); // cut only as needed
        // Whole escapes only: what is left decodes back to the start of the model.
        const QString device = longAddress.section("device=", 1).section('&', 0, 0);
        const QString decoded = QUrl::fromPercentEncoding(device.toLatin1());
        EXPECT_TRUE(!decoded.isEmpty() && model.startsWith(decoded));
    }
}

TEST(OsBuildNumber, ComesFromTheKernelReleaseNumbers) {
    EXPECT_EQ(BuildNumberFromRelease(u"6.1.76-amd64"), 6001076);
    EXPECT_EQ(BuildNumberFromRelease(u"5.15.0-91-generic"), 5015000);
    EXPECT_EQ(BuildNumberFromRelease(u"rc"), 0);
}

} // namespace
} // namespace mv
