// Qt's own texts in Japanese whatever the locale: the keyword box's standard context
// menu and the print dialogs' captions.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <memory>

#include "gui/translations.h"

using namespace vyn;

class TranslationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(InstallQtTranslations());
        QVERIFY(InstallQtTranslations());  // once per process, however often asked
    }

    void qtTextsAreJapanese_data() {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("english");
        QTest::newRow("print preview") << "QPrintPreviewDialog" << "Print Preview";
        QTest::newRow("fit width") << "QPrintPreviewDialog" << "Fit width";
        QTest::newRow("page setup") << "QPrintPreviewDialog" << "Page setup";
        QTest::newRow("print") << "QPrintPreviewDialog" << "Print";
        QTest::newRow("save as") << "QFileDialog" << "Save As";
        QTest::newRow("cancel") << "QPlatformTheme" << "Cancel";
    }

    void qtTextsAreJapanese() {
        QFETCH(QString, context);
        QFETCH(QString, english);
        const QString text = QCoreApplication::translate(context.toUtf8().constData(),
                                                         english.toUtf8().constData());
        QVERIFY2(text != english, qPrintable(text));
    }

    void keywordBoxMenuIsJapanese() {
        QLineEdit edit;
        edit.setText(QStringLiteral("明月"));
        edit.selectAll();
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) texts << action->text();
        }
        QVERIFY(texts.size() >= 6);
        for (const char* english :
             {"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Delete", "Select All"}) {
            QVERIFY2(!texts.contains(QLatin1String(english)), qPrintable(texts.join(QLatin1Char(0x7C))));
        }
        QVERIFY2(texts.join(QString()).contains(QStringLiteral("コピー")),
                 qPrintable(texts.join('|')));
    }
};

QTEST_MAIN(TranslationTest)
#include "translationtest.moc"
