#include "window/ModelComparison.h"

#include "document/project/Document.h"
#include "document/project/KeptModel.h"
#include "document/run/RunReport.h"
#include "document/table/TableSamples.h"
#include "model/NumberText.h"
#include "window/DataFileOpener.h"
#include "window/LocaleText.h"
#include "window/MDIMainChild.h"
#include "window/MSChart.h"
#include "window/UserDialogs.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QStringList>
#include <exception>
#include <optional>

namespace orvanel {

namespace {

constexpr int NumberDigits = 15;
const QString DataFileItem = QStringLiteral("A data file...");

// The other document chosen, or a data file read as File > Open reads it; nothing when the
// user cancelled the choice of the file or its import.
std::optional<TableSamples> ReadChosenData(UserDialogs& dialogs, TMDIMainChild& source,
                                           TMDIMainChild* document, std::string& name) {
    if (document != nullptr) {
        name = document->Doc().Caption();
        return TableSamples::FromTable(document->Doc().Table(), LocaleDecimalSeparator());
    }
    const QString path = dialogs.OpenFileName(&source);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    // The program's own files hold their numbers with a point; an import writes them so too.
    Document file("data");
    if (!DataFileOpener::Open(dialogs, &source, path, file, '.')) {
        return std::nullopt;
    }
    name = QFileInfo(path).fileName().toStdString();
    return TableSamples::FromTable(file.Table(), '.');
}

// Over the middle of the frame's work area and inside the screen's available area: left to the
// window system, a window of its own may open over the frame's menu bar.
void PlaceOver(QWidget* window, QWidget* parent) {
    QWidget* frame = parent != nullptr ? parent->window() : nullptr;
    QScreen* screen = frame != nullptr ? frame->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen->availableGeometry();
    QRect work = available;
    if (auto* main = qobject_cast<QMainWindow*>(frame); main && main->centralWidget()) {
        const QWidget* area = main->centralWidget();
        work = QRect(area->mapToGlobal(QPoint(0, 0)), area->size()).intersected(available);
    }
    QRect placed(QPoint(0, 0), window->size().boundedTo(work.size()));
    placed.moveCenter(work.center());
    window->resize(placed.size());
    window->move(placed.topLeft());
}

} // namespace

QWidget* ModelComparison::Run(UserDialogs& dialogs, TMDIMainChild& source, std::size_t index,
                              const QList<TMDIMainChild*>& documents) {
    const std::vector<KeptModel>& models = source.Doc().History().Models();
    if (index >= models.size()) {
        return nullptr;
    }
    const KeptModel& model = models[index];
    QList<TMDIMainChild*> candidates;
    QStringList items;
    for (TMDIMainChild* document : documents) {
        if (document != &source &&
            static_cast<std::size_t>(document->Doc().Table().InputCount()) == model.InputCount()) {
            candidates.append(document);
            items.append(document->windowTitle());
        }
    }
    items.append(DataFileItem);
    const int chosen = dialogs.ChooseItem(
        &source, QStringLiteral("Simulate %1 on:").arg(QString::fromStdString(model.Name)), items);
    if (chosen < 0) {
        return nullptr;
    }
    try {
        std::string name;
        const std::optional<TableSamples> samples = ReadChosenData(
            dialogs, source, chosen < candidates.size() ? candidates[chosen] : nullptr, name);
        return samples ? Show(model, *samples, name, &source) : nullptr;
    } catch (const std::exception& error) {
        dialogs.ShowError(
            &source, QStringLiteral("Cannot simulate %1: %2")
                         .arg(QString::fromStdString(model.Name), QString::fromUtf8(error.what())));
        return nullptr;
    }
}

QWidget* ModelComparison::Show(KeptModel model, const TableSamples& samples,
                               const std::string& dataName, QWidget* parent) {
    const auto rows = static_cast<std::size_t>(samples.Samples());
    model.SimulateOn(samples, rows);
    auto* window = new QWidget(parent, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(QStringLiteral("ModelComparison"));
    window->setWindowTitle(
        QStringLiteral("%1 on %2")
            .arg(QString::fromStdString(model.Name), QString::fromStdString(dataName)));
    auto* chart = new TMSChart(window);
    const char separator = LocaleDecimalSeparator();
    chart->SetDecimalSeparator(separator);
    chart->SetColumnCount(2);
    chart->SetColumn(1);
    chart->SetColumnLabel("Exp");
    chart->SetColumn(2);
    chart->SetColumnLabel(model.Name);
    chart->SetAxisTitles("Sample", "Output");
    chart->SetTitle(RunReport::FitLine(dataName, model.EstimationFit, separator));
    chart->SetRowCount(static_cast<int>(rows));
    for (std::size_t r = 0; r < rows; ++r) {
        chart->SetRow(static_cast<int>(r) + 1);
        chart->SetColumn(1);
        chart->SetData(
            FormatGeneral(samples.Row(static_cast<int>(r)).back(), NumberDigits, separator));
        chart->SetColumn(2);
        chart->SetData(FormatGeneral(model.Computed[r], NumberDigits, separator));
    }
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chart);
    window->resize(640, 360);
    PlaceOver(window, parent);
    window->show();
    return window;
}

} // namespace orvanel
