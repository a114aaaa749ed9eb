// Japanese throughout: Qt's own texts come from its Japanese translation
// whatever the system locale (the test runs with LANG=C), dialogs carry the
// string table's titles, and the shared formatters write dates and times
// in the Japanese form.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QWindow>
#include <array>
#include <cstdlib>
#include <memory>

#include "app/ConfigInfo.h"
#include "app/StringTable.h"
#include "dialogs/AccountDialogs.h"
#include "platform/qt/Japanese.h"
#include "tests/support/TestSupport.h"

namespace {

QApplication& App() {
    static QApplication* app = [] {
        // A system that speaks no Japanese.
        ::setenv("LANG", "C", 1);
        ::setenv("LC_ALL", "C", 1);
        ::unsetenv("LANGUAGE");
        static int argc = 1;
        static char name[] = "japanese_test";
        static char* argv[] = {name, nullptr};
        auto* created = new QApplication(argc, argv);
        const auto result = platform::InstallQtJapanese(*created);
        EXPECT_TRUE(result.loaded) << result.file.toStdString();
        return created;
    }();
    return *app;
}

// A button's text without its mnemonic: "はい(&Y)" reads "はい".
QString Plain(QString text) {
    static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)$"));
    return text.remove(mnemonic).remove(QLatin1Char('&'));
}

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

TEST(QtTranslation, StandardButtonsMenusAndDialogsSpeakJapanese) {
    App();
    QMessageBox box(QMessageBox::Question, Text(408), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Close);
    EXPECT_EQ(Plain(box.button(QMessageBox::Cancel)->text()), QStringLiteral("キャンセル"));
    EXPECT_EQ(Plain(box.button(QMessageBox::Yes)->text()), QStringLiteral("はい"));
    EXPECT_EQ(Plain(box.button(QMessageBox::No)->text()), QStringLiteral("いいえ"));
    EXPECT_EQ(Plain(box.button(QMessageBox::Close)->text()), QStringLiteral("閉じる"));

    // The buttons of the program's own dialogs.
    CAuthErrorDlg auth(L"someone@example.com");
    auto* buttons = auth.findChild<QDialogButtonBox*>(QStringLiteral("buttons"));
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(Plain(buttons->button(QDialogButtonBox::Cancel)->text()),
              QStringLiteral("キャンセル"));

    // The edit menu of a text field.
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        texts << action->text();
    }
    EXPECT_TRUE(texts.join(QLatin1Char('|')).contains(QStringLiteral("コピー")))
        << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(texts.join(QLatin1Char('|')).contains(QStringLiteral("貼り付け")))
        << texts.join(QLatin1Char('|')).toStdString();
}

TEST(QtTranslation, MissingFileIsReportedAndNothingIsInstalled) {
    QApplication& app = App();
    testsupport::TempDir empty;
    const auto result = platform::InstallQtJapanese(app, QString::fromStdString(empty.path()));
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.file, QString::fromStdString(empty / "qtbase_ja.qm"));
}

TEST(DialogTitles, EveryDialogHasItsStringTableTitle) {
    App();
    testsupport::TempDir dir;
    Model::CConfigInfo config(dir / "config.ini");
    CAuthErrorDlg auth(L"a@example.com");
    CSetGoogleAccountDlg account(config, false);
    CErrorDlg error(L"description", L"text", true);
    CVersionUpNoticeDlg version("1.0.0.0", "1.0.1.0");
    const std::array<std::pair<QDialog*, int>, 4> cases{{
        {&auth, 412},
        {&account, 407},
        {&error, 408},
        {&version, 410},
    }};
    for (const auto& [dialog, id] : cases) {
        SCOPED_TRACE(id);
        ASSERT_FALSE(Text(id).isEmpty());
        EXPECT_EQ(dialog->windowTitle(), Text(id));
        dialog->show();
        ASSERT_NE(dialog->windowHandle(), nullptr);
        EXPECT_EQ(dialog->windowHandle()->title(), Text(id));
        dialog->hide();
    }
}

TEST(JapaneseFormats, DatesAndTimesInTheJapaneseForm) {
    App();
    const QDate date(2026, 12, 10);  // a Thursday
    EXPECT_EQ(platform::JapaneseDate(date), QStringLiteral("2026年12月10日"));
    EXPECT_EQ(platform::JapaneseDateWithWeekday(date), QStringLiteral("2026年12月10日(木)"));
    EXPECT_EQ(platform::JapaneseDateWithWeekday(QDate(2027, 1, 3)),
              QStringLiteral("2027年1月3日(日)"));
    EXPECT_EQ(platform::JapaneseMonth(2027, 1), QStringLiteral("2027年1月"));
    EXPECT_EQ(platform::JapaneseTime(QTime(9, 5)), QStringLiteral("9:05"));
    EXPECT_EQ(platform::JapaneseTime(QTime(23, 40, 59)), QStringLiteral("23:40"));
    EXPECT_EQ(platform::JapaneseTime(QTime(0, 0)), QStringLiteral("0:00"));
    // Qt's widgets format in Japanese too.
    EXPECT_EQ(QLocale().language(), QLocale::Japanese);
}

TEST(JapaneseFormats, SecondsAreShownInLocalTime) {
    App();
    // 2026-12-31 15:30 UTC: New Year's Day in Tokyo, still the 31st in New York.
    const int64_t seconds = 1798731000;
    struct Case {
        const char* zone;
        const char* expected;
    };
    for (const Case& c : {Case{"Asia/Tokyo", "2027年1月1日 0:30"},
                          Case{"America/New_York", "2026年12月31日 10:30"}}) {
        testsupport::ScopedTz tz(c.zone);
        EXPECT_EQ(platform::JapaneseDateTime(seconds), QString::fromUtf8(c.expected)) << c.zone;
    }
}

}  // namespace
