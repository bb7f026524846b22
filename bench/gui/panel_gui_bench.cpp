// How long a user waits in the running reader: from pressing "検索" to a filled first
// list page, and from choosing a result row to the page view's loadFinished on the
// highlighted page. Runs the real panel and page view on a data folder:
//
//   export QTWEBENGINE_DISABLE_SANDBOX=1
//   xvfb-run -a -s "-screen 0 1280x800x24" panel_gui_bench DATA_FOLDER [KEYWORD] [ROWS]
//
// Prints the times of the first row (the page view's first load) apart from the
// median and the 90th percentile of the rest.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "gui/messagebox.h"
#include "gui/platform.h"
#include "panelui/htmlctrl.h"
#include "panelui/leftform.h"
#include "panelui/sortlistctrl.h"
#include "shell/bookapp.h"
#include "shell/bookview.h"
#include "shell/mainframe.h"

namespace {

class CStderrPresenter : public vyn::CMessagePresenter {
public:
    void Warning(QWidget*, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
};

// Runs the event loop until view finished a load; false after 60 s.
bool WaitForLoad(vyn::CBookView* view) {
    QEventLoop loop;
    bool loaded = false;
    const auto connection = QObject::connect(view, &QWebEngineView::loadFinished, &loop, [&](bool ok) {
        loaded = ok;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return loaded;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: panel_gui_bench DATA_FOLDER [KEYWORD] [ROWS]\n");
        return 2;
    }
    vyn::OverrideExecutableFolder(QString::fromLocal8Bit(argv[1]));
    const QString keyword = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("山");
    const int rows = argc > 3 ? std::max(2, std::atoi(argv[3])) : 50;
    CStderrPresenter presenter;
    vyn::SetMessagePresenter(&presenter);

    vyn::CBookApp reader;
    if (!reader.InitInstance({QStringLiteral("vyn"), QStringLiteral("-Embedding")})) return 1;
    vyn::CMainFrame* frame = reader.GetMainWnd();
    vyn::CLeftForm* panel = frame->m_pLeftForm;
    vyn::CBookView* view = frame->m_pBookView;
    panel->findChild<QTabWidget*>(QStringLiteral("panelTabs"))->setCurrentIndex(1);
    auto* list = panel->findChild<vyn::CSortListCtrl*>(QStringLiteral("resultList"));
    panel->findChild<vyn::CHtmlCtrl*>(QStringLiteral("keywordEntry"))->TextField()->setText(keyword);
    WaitForLoad(view);  // about:blank

    QElapsedTimer clock;
    clock.start();
    panel->findChild<QPushButton*>(QStringLiteral("searchButton"))->click();
    const double searchMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("keyword %s: %d result pages; search to first list page %.2f ms (%d rows)\n",
                keyword.toUtf8().constData(), static_cast<int>(panel->Logic().Search().Results().size()),
                searchMs, list->RowCount());

    std::vector<double> times;
    for (int row = 0; row < rows && row < list->RowCount(); ++row) {
        clock.restart();
        list->setCurrentItem(list->topLevelItem(row));
        if (!WaitForLoad(view)) {
            std::fprintf(stderr, "row %d: the page did not load\n", row);
            return 1;
        }
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    if (times.size() < 2) {
        std::fprintf(stderr, "too few rows\n");
        return 1;
    }
    const double first = times.front();
    times.erase(times.begin());
    std::printf("row chosen to loadFinished: first %.1f ms; next %zu rows median %.1f ms, p90 %.1f ms, "
                "max %.1f ms\n",
                first, times.size(), Percentile(times, 0.5), Percentile(times, 0.9),
                *std::max_element(times.begin(), times.end()));
    vyn::SetMessagePresenter(nullptr);
    return 0;
}
