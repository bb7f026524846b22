// The main toolbar: its items and tool tips, the command states of its buttons, the
// texture behind the button images, the page slider and the page-position box.
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>

#include "gui/bitmaps.h"
#include "gui/resource.h"
#include "gui/toolbarres.h"
#include "shell/scrolltoolbar.h"
#include "shelltest.h"

using namespace vyn;
using namespace vyn::test;

namespace {

// Stands for the panel: records the pages it is asked to show.
class CProbeTarget : public CPageSliderTarget {
public:
    bool HasCurrentVolume() const override { return volume; }
    void OnPageSliderEnd(int position) override { pages.append(position); }
    void AttachPageSlider(CPageSliderControl* control) override { attached = control; }

    bool volume = true;
    QList<int> pages;
    CPageSliderControl* attached = nullptr;
};

// A panel that takes part in the page slider, as the real one will.
class CSliderPanel : public CLeftForm, public CProbeTarget {
public:
    using CLeftForm::CLeftForm;
    // The panel is a slider target itself; these overriders hand its part to the probe.
    bool HasCurrentVolume() const override { return CProbeTarget::HasCurrentVolume(); }
    void OnPageSliderEnd(int position) override { CProbeTarget::OnPageSliderEnd(position); }
    void AttachPageSlider(CPageSliderControl* control) override { CProbeTarget::AttachPageSlider(control); }
};

class CSliderPanelApp : public CBookApp {
public:
    CSliderPanel* panel = nullptr;

protected:
    CLeftForm* CreatePanel(QWidget* parent) override {
        panel = new CSliderPanel(parent);
        return panel;
    }
};

// A toolbar whose slider or page box cannot be made.
class CFailingToolBar : public CSCrollToolBar {
public:
    bool sliderFails = false;
    bool boxFails = false;

protected:
    bool CreateSlider(QWidget* place) override { return !sliderFails && CSCrollToolBar::CreateSlider(place); }
    bool CreatePageBox(QWidget* place) override { return !boxFails && CSCrollToolBar::CreatePageBox(place); }
};

QPoint HandleCentre(QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.tickPosition = slider->tickPosition();
    option.tickInterval = slider->tickInterval();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    return slider->style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
        .center();
}

bool IsSliderCursor(const QWidget* widget) {
    return widget->cursor().shape() == Qt::BitmapCursor && widget->cursor().hotSpot() == QPoint(15, 0);
}

}  // namespace

class ToolBarTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        m_app.reset();
        m_messages.reset();
        m_env.reset();
    }

    void itemsAndToolTipsInOrder_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("toolTip");  // empty: separator; "slider", "box": control
        const struct {
            int command;
            const char* tip;
        } items[] = {
            {32778, "すべて選択"},   {57634, "コピー"},       {0, ""},         {32777, "印刷"},
            {0, ""},                {32791, "上の巻へ"},     {32780, "上の頁"}, {32781, "次の頁"},
            {32790, "次の巻へ"},     {0, ""},                {32805, "上の検索結果"},
            {32806, "次の検索結果"}, {0, ""},                {57664, "情報"}, {0, ""},
            {32787, "slider"},      {32788, "box"},
        };
        int index = 0;
        for (const auto& item : items) {
            const QString tip = QString::fromUtf8(item.tip);
            QTest::addRow("%d %s", index, tip.isEmpty() ? "separator" : item.tip) << index << item.command << tip;
            ++index;
        }
    }
    void itemsAndToolTipsInOrder() {
        QFETCH(int, index);
        QFETCH(int, command);
        QFETCH(QString, toolTip);
        QVERIFY(StartReader());
        CSCrollToolBar& bar = m_frame->m_wndToolBar;
        QCOMPARE(bar.GetCount(), 17);
        QCOMPARE(bar.actions().size(), 17);
        QCOMPARE(bar.GetItemID(index), command);
        // The item's widget stands at its place in the toolbar.
        QAction* place = bar.actions().at(index);
        QWidget* widget = bar.ItemWidget(index);
        QVERIFY(widget);
        QCOMPARE(bar.widgetForAction(place), widget);

        if (toolTip.isEmpty()) {
            QVERIFY(place->isSeparator());
        } else if (toolTip == QLatin1String("slider")) {
            QCOMPARE(widget->width(), 300);
            QCOMPARE(bar.Slider()->parentWidget(), widget);
            QCOMPARE(bar.Slider()->property("controlId").toInt(), 101);
        } else if (toolTip == QLatin1String("box")) {
            QCOMPARE(widget->width(), 100);
            QCOMPARE(bar.PageBox()->parentWidget(), widget);
            QCOMPARE(bar.PageBox()->property("controlId").toInt(), 102);
        } else {
            auto* button = qobject_cast<QToolButton*>(widget);
            QVERIFY(button);
            QCOMPARE(button->size(), QSize(47, 46));
            QCOMPARE(button->accessibleName(), toolTip);
            QCOMPARE(button->objectName(), QStringLiteral("toolButton_%1").arg(command));
            QCOMPARE(m_frame->ToolBarAction(command), button->defaultAction());
            QHelpEvent help(QEvent::ToolTip, button->rect().center(), button->mapToGlobal(button->rect().center()));
            QApplication::sendEvent(button, &help);
            QTRY_VERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), toolTip);
            QToolTip::hideText();
        }
    }

    void buttonsFollowTheCommandStates_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("beforePage");
        QTest::addColumn<bool>("afterPage");
        QTest::newRow("select all") << 32778 << false << true;
        QTest::newRow("copy") << 57634 << false << true;
        QTest::newRow("print") << 32777 << false << true;
        QTest::newRow("previous volume") << 32791 << false << false;
        QTest::newRow("previous page") << 32780 << false << false;
        QTest::newRow("next page") << 32781 << false << false;
        QTest::newRow("next volume") << 32790 << false << false;
        QTest::newRow("previous result") << 32805 << false << false;
        QTest::newRow("next result") << 32806 << false << false;
        QTest::newRow("information") << 57664 << true << true;
    }
    void buttonsFollowTheCommandStates() {
        QFETCH(int, command);
        QFETCH(bool, beforePage);
        QFETCH(bool, afterPage);
        QVERIFY(StartReader());
        auto* button = qobject_cast<QToolButton*>(
            m_frame->m_wndToolBar.ItemWidget(m_frame->m_wndToolBar.CommandToIndex(command)));
        QVERIFY(button);
        QTRY_COMPARE(button->isEnabled(), beforePage);

        QTemporaryDir pages;
        QVERIFY(NavigateAndWait(m_frame->m_pBookView,
                                WritePage(pages.path(), QStringLiteral("p.html"), QStringLiteral("<p>頁</p>"))));
        QTRY_COMPARE(button->isEnabled(), afterPage);
    }

    void hidingTheToolBarHidesSliderAndBox() {
        QVERIFY(StartReader());
        CSCrollToolBar& bar = m_frame->m_wndToolBar;
        QVERIFY(bar.Slider()->isVisible());
        QVERIFY(bar.PageBox()->isVisible());
        QVERIFY(m_frame->OnCommand(ID_VIEW_TOOLBAR));
        QVERIFY(!bar.Slider()->isVisible());
        QVERIFY(!bar.PageBox()->isVisible());
        QVERIFY(m_frame->OnCommand(ID_VIEW_TOOLBAR));
        QVERIFY(bar.Slider()->isVisible());
        QVERIFY(bar.PageBox()->isVisible());
    }

    void frameWiresThePanelToTheSlider() {
        m_env = std::make_unique<CShellEnvironment>();
        m_messages = std::make_unique<CRecordingPresenter>();
        auto app = std::make_unique<CSliderPanelApp>();
        QVERIFY(app->InitInstance(kNoSplash));
        CMainFrame* frame = app->GetMainWnd();
        CSCrollToolBar& bar = frame->m_wndToolBar;
        QCOMPARE(app->panel->attached, static_cast<CPageSliderControl*>(&bar));
        // Until a volume opens the slider has nowhere to go.
        QCOMPARE(bar.Slider()->minimum(), 0);
        QCOMPARE(bar.Slider()->maximum(), 0);

        app->panel->attached->SetPageRange(5, 9);
        app->panel->attached->SetPagePos(6);
        app->panel->attached->SetPageText(QStringLiteral("3/6"));
        QCOMPARE(bar.PageBox()->text(), QStringLiteral("3/6"));
        QVERIFY(bar.PageBox()->isReadOnly());
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        bar.Slider()->setFocus();
        QTest::keyClick(bar.Slider(), Qt::Key_Right);
        QCOMPARE(app->panel->pages, QList<int>{7});
        m_app = std::move(app);
    }

    // Only the end of a move shows a page, and only while a volume is current; every
    // notification gives the slider cursor 149.
    void sliderShowsAPageOnlyWhenAMoveEnds_data() {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<bool>("volume");
        for (const char* gesture : {"drag", "keyboard", "groove click", "wheel"}) {
            QTest::addRow("%s in a volume", gesture) << QString::fromLatin1(gesture) << true;
            QTest::addRow("%s before any volume", gesture) << QString::fromLatin1(gesture) << false;
        }
    }
    void sliderShowsAPageOnlyWhenAMoveEnds() {
        QFETCH(QString, gesture);
        QFETCH(bool, volume);
        CProbeTarget target;
        target.volume = volume;
        CSCrollToolBar bar;
        bar.m_pLeftForm = &target;
        QVERIFY(bar.Create());
        bar.resize(1000, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        CXSliderCtrl* slider = bar.Slider();
        bar.SetPageRange(10, 30);
        bar.SetPagePos(10);
        QVERIFY(!IsSliderCursor(slider));

        if (gesture == QLatin1String("drag")) {
            const QPoint handle = HandleCentre(slider);
            QTest::mousePress(slider, Qt::LeftButton, {}, handle);
            QTest::mouseMove(slider, QPoint(slider->width() / 2, handle.y()));
            QTest::mouseMove(slider, QPoint(slider->width() * 3 / 4, handle.y()));
            QVERIFY(slider->sliderPosition() > 20);
            QVERIFY(target.pages.isEmpty());
            QVERIFY(IsSliderCursor(slider));
            QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() * 3 / 4, handle.y()));
        } else if (gesture == QLatin1String("keyboard")) {
            slider->setFocus();
            QTest::keyPress(slider, Qt::Key_Right);
            QTest::keyPress(slider, Qt::Key_Right);
            QCOMPARE(slider->value(), 12);
            QVERIFY(target.pages.isEmpty());
            QTest::keyRelease(slider, Qt::Key_Right);
        } else if (gesture == QLatin1String("groove click")) {
            const QPoint at(slider->width() - 20, HandleCentre(slider).y());
            QTest::mousePress(slider, Qt::LeftButton, {}, at);
            QVERIFY(slider->sliderPosition() > 10);
            QVERIFY(target.pages.isEmpty());
            QTest::mouseRelease(slider, Qt::LeftButton, {}, at);
        } else {
            const QPointF at = slider->rect().center();
            QWheelEvent wheel(at, slider->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(slider, &wheel);
        }
        QVERIFY(slider->value() > 10);
        QVERIFY(IsSliderCursor(slider));
        if (volume) {
            QCOMPARE(target.pages, QList<int>{slider->value()});
        } else {
            QVERIFY(target.pages.isEmpty());
        }
    }

    // The images are drawn where the toolbar puts them: their magenta pixels show the
    // texture at that very place, every other pixel shows the image.
    void magentaShowsTheTexture_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("strip");
        QTest::addColumn<int>("image");
        QTest::newRow("normal") << int(ID_APP_ABOUT) << IDB_TOOLBAR_NORMAL << 9;
        QTest::newRow("disabled") << int(ID_PRINT_NOW) << IDB_TOOLBAR_DISABLED << 2;
        QTest::newRow("hot") << int(ID_EDIT_COPY) << IDB_TOOLBAR_HOT << 1;
    }
    void magentaShowsTheTexture() {
        QFETCH(int, command);
        QFETCH(int, strip);
        QFETCH(int, image);
        CSCrollToolBar bar;
        QVERIFY(bar.Create());
        bar.resize(1000, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        auto* button = qobject_cast<QToolButton*>(bar.ItemWidget(bar.CommandToIndex(command)));
        QVERIFY(button);
        if (strip == IDB_TOOLBAR_DISABLED) bar.CommandAction(command)->setEnabled(false);
        if (strip == IDB_TOOLBAR_HOT) {
            const QPointF inside(5, 5);
            QEnterEvent enter(inside, inside, button->mapToGlobal(inside));
            QApplication::sendEvent(button, &enter);
        }

        const QImage shown = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage picture = LoadBitmapResource(strip).copy(image * 40, 0, 40, 40).convertToFormat(QImage::Format_RGB32);
        const QImage texture = LoadBitmapResource(IDB_TOOLBAR_BACK).convertToFormat(QImage::Format_RGB32);
        const QRgb mask = kMaskColour | 0xFF000000u;
        const QPoint origin = button->mapTo(&bar, QPoint(0, 0));

        // Where in the button the image's own pixels appear.
        QPoint at(-1, -1);
        for (int dy = 0; dy + 40 <= button->height() && at.x() < 0; ++dy) {
            for (int dx = 0; dx + 40 <= button->width() && at.x() < 0; ++dx) {
                bool match = true;
                for (int r = 0; r < 40 && match; ++r) {
                    for (int j = 0; j < 40 && match; ++j) {
                        const QRgb px = picture.pixel(j, r);
                        if (px != mask) match = shown.pixel(origin.x() + dx + j, origin.y() + dy + r) == px;
                    }
                }
                if (match) at = origin + QPoint(dx, dy);
            }
        }
        QVERIFY2(at.x() >= 0, "the image is not drawn whole in its button");

        int masked = 0;
        for (int r = 0; r < 40; ++r) {
            for (int j = 0; j < 40; ++j) {
                if (picture.pixel(j, r) != mask) continue;
                ++masked;
                const QPoint p = at + QPoint(j, r);
                QCOMPARE(shown.pixel(p), texture.pixel(p.x() % texture.width(), p.y() % texture.height()));
            }
        }
        QVERIFY(masked >= 16);  // the hot slip leaves only its corners
    }

    void failedControlsAreLeftOut_data() {
        QTest::addColumn<bool>("sliderFails");
        QTest::addColumn<bool>("boxFails");
        QTest::newRow("slider") << true << false;
        QTest::newRow("page box") << false << true;
    }
    void failedControlsAreLeftOut() {
        QFETCH(bool, sliderFails);
        QFETCH(bool, boxFails);
        CFailingToolBar bar;
        bar.sliderFails = sliderFails;
        bar.boxFails = boxFails;
        QVERIFY(bar.Create());
        QCOMPARE(bar.Slider() == nullptr, sliderFails);
        QVERIFY(!bar.PageBox());
        QCOMPARE(bar.findChildren<CXSliderCtrl*>().size(), sliderFails ? 0 : 1);
        QCOMPARE(bar.findChildren<CXEdit*>().size(), 0);
        // Neither place turns into a button of its own.
        QVERIFY(!qobject_cast<QToolButton*>(bar.ItemWidget(15)));
        QVERIFY(!qobject_cast<QToolButton*>(bar.ItemWidget(16)));
        QVERIFY(!bar.CommandAction(ID_PAGEBOX_PLACE));
        QCOMPARE(bar.CommandToIndex(ID_APP_ABOUT), 13);
        bar.SetPageRange(1, 5);
        bar.SetPageText(QStringLiteral("1/1"));
    }

private:
    bool StartReader() {
        m_env = std::make_unique<CShellEnvironment>();
        m_messages = std::make_unique<CRecordingPresenter>();
        m_app = std::make_unique<CBookApp>();
        if (!m_app->InitInstance(kNoSplash)) return false;
        m_frame = m_app->GetMainWnd();
        return QTest::qWaitForWindowExposed(m_frame);
    }

    std::unique_ptr<CShellEnvironment> m_env;
    std::unique_ptr<CRecordingPresenter> m_messages;
    std::unique_ptr<CBookApp> m_app;
    CMainFrame* m_frame = nullptr;
};

QTEST_MAIN(ToolBarTest)
#include "toolbartest.moc"
