#include "qt/application_setup.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace quorvane::qt {

void installFontSubstitutions() {
    const QString noto = QStringLiteral("Noto Sans CJK JP");
    QFont::insertSubstitutions(kGothic, {QStringLiteral("IPAGothic"), noto});
    QFont::insertSubstitutions(kPGothic, {QStringLiteral("IPAPGothic"), noto});

    QFont font = QApplication::font();
    font.setFamilies({font.family(), noto, QStringLiteral("IPAPGothic")});
    QApplication::setFont(font);
}

void setUpApplication(QApplication& app) {
    installFontSubstitutions();
    // The window speaks Japanese whatever the locale, and so must the text boxes' context menu.
    auto* qtTexts = new QTranslator(&app);
    if (qtTexts->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(qtTexts);
    }
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvane/quorvane.png")));
}

}  // namespace quorvane::qt
