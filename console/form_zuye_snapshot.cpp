#include "console/form_zuye_snapshot.h"

#include <QEvent>
#include <QObject>
#include <cstdlib>

#include "console/form_zuye.h"
#include "platform/gui/qt_text.h"
#include "platform/text.h"
#include "platform/text_file.h"

namespace console {

namespace {

void write(form_zuye& w, const std::u16string& path)
{
    QString out;
    out += QStringLiteral("visible\t%1\n").arg(w.isVisible() ? 1 : 0);
    out += QStringLiteral("panel2\t%1\n").arg(w.StatusBar1->panelText(2));
    out += QStringLiteral("interval\t%1\n").arg(w.Timer1->Interval());
    for (int r = 0; r < w.loggrid->Rows(); ++r) {
        QStringList cells;
        bool any = false;
        for (int c = 0; c < w.loggrid->Cols(); ++c) {
            cells << w.loggrid->TextMatrix(r, c);
            any = any || !cells.back().isEmpty();
        }
        if (any)
            out += QStringLiteral("row\t%1\t%2\n").arg(r).arg(cells.join(QLatin1Char('\t')));
    }
    // Replaced whole, so a reader never sees half a snapshot.
    platform::replaceFileBytes(path, out.toStdString());
}

class OnShow final : public QObject {
public:
    OnShow(form_zuye& w, std::u16string path) : QObject(&w), window_(w), path_(std::move(path)) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::Show)
            write(window_, path_);
        return false;
    }

private:
    form_zuye& window_;
    std::u16string path_;
};

} // namespace

void writeSnapshotsFromEnvironment(form_zuye& window)
{
    const char* file = std::getenv("CORVANE_CONSOLE_SNAPSHOT");
    if (file == nullptr || *file == '\0')
        return;
    std::u16string path = platform::text::fromUtf8(file);
    window.installEventFilter(new OnShow(window, path));
    // Connected after the window's own handler, so it sees the refreshed grid.
    QObject::connect(window.Timer1, &TimerControl::Timer, &window, [&window, path] { write(window, path); });
}

} // namespace console
