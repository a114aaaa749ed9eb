// The program speaks Japanese whatever the system's locale: Qt's own texts
// (standard buttons, the edit menu of text fields, the standard dialogs) come
// from Qt's Japanese translation, and every date or time a window shows is
// written in the Japanese form (年月日, 24-hour clock) by the formatters
// here. The program's own texts stay in the string table.
//
// InstallQtJapanese: user-interface thread, once, after the application
// object exists. The formatters: any thread.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>
#include <cstdint>

class QCoreApplication;

namespace platform {

struct QtTranslationResult {
    bool loaded = false;
    QString file;  // the file loaded, or the one looked for
};

// Loads Qt's Japanese translation ("qtbase_ja") from `folder` (empty: Qt's
// translations folder) into `app`, and makes Japanese the default locale of
// Qt's widgets. A missing or unreadable file leaves Qt's texts in English
// and reports the file looked for; the caller logs it.
QtTranslationResult InstallQtJapanese(QCoreApplication& app, const QString& folder = {});

// The locale every formatter uses: Japanese in Japan.
QLocale JapaneseLocale();

// "2026年12月10日"
QString JapaneseDate(const QDate& date);
// "2026年12月10日(木)"
QString JapaneseDateWithWeekday(const QDate& date);
// "2026年12月"
QString JapaneseMonth(int year, int month);
// "9:05", "23:40" (24-hour clock, no seconds)
QString JapaneseTime(const QTime& time);
// "2026年12月10日 9:05"
QString JapaneseDateTime(const QDateTime& dateTime);
// The local time of `seconds` since 1970 (a CTime), as JapaneseDateTime.
QString JapaneseDateTime(int64_t seconds);

}  // namespace platform
