#include "platform/gui/desktop_look.h"

#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

namespace platform {

void setUpChineseDesktop()
{
    // Substitutes are only consulted when the family itself is not installed.
    const QStringList song{QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                           QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Serif CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), song);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), song.mid(1));
    QFont::insertSubstitutions(QStringLiteral("NSimSun"), song.mid(1));

    static QTranslator qtTexts;
    // Beside the program first (a deployed Windows build), then Qt's own folder.
    for (const QString& folder : {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), folder)) {
            QCoreApplication::installTranslator(&qtTexts);
            break;
        }
    }
}

} // namespace platform
