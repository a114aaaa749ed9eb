#include "platform/qt/Japanese.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace platform {

QtTranslationResult InstallQtJapanese(QCoreApplication& app, const QString& folder) {
    QLocale::setDefault(JapaneseLocale());
    const QString dir =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    QtTranslationResult result;
    result.file = QDir(dir).filePath(QStringLiteral("qtbase_ja.qm"));
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ja"), dir)) {
        return result;
    }
    result.file = translator->filePath();
    translator->setParent(&app);  // lives as long as the application
    result.loaded = QCoreApplication::installTranslator(translator.release());
    return result;
}

QLocale JapaneseLocale() {
    return QLocale(QLocale::Japanese, QLocale::Japan);
}

QString JapaneseDate(const QDate& date) {
    return JapaneseLocale().toString(date, QStringLiteral("yyyy年M月d日"));
}

QString JapaneseDateWithWeekday(const QDate& date) {
    return JapaneseLocale().toString(date, QStringLiteral("yyyy年M月d日(ddd)"));
}

QString JapaneseMonth(int year, int month) {
    return QStringLiteral("%1年%2月").arg(year).arg(month);
}

QString JapaneseTime(const QTime& time) {
    return JapaneseLocale().toString(time, QStringLiteral("H:mm"));
}

QString JapaneseDateTime(const QDateTime& dateTime) {
    return JapaneseDate(dateTime.date()) + QLatin1Char(' ') + JapaneseTime(dateTime.time());
}

QString JapaneseDateTime(int64_t seconds) {
    return JapaneseDateTime(QDateTime::fromSecsSinceEpoch(seconds));
}

}  // namespace platform
