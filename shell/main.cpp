#include <QApplication>
#include <QFont>
#include <QFontDatabase>

#include "shell/bookapp.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("vyn"));
    // Japanese forms of the ideographs in the user interface when the font is there.
    const QString japanese = QStringLiteral("Noto Sans CJK JP");
    if (QFontDatabase::families().contains(japanese)) {
        QFont font = QApplication::font();
        font.setFamilies({japanese});
        QApplication::setFont(font);
    }
    vyn::CBookApp theApp;
    if (!theApp.InitInstance(QCoreApplication::arguments())) return 1;
    const int result = QApplication::exec();
    theApp.ExitInstance();
    return result;
}
