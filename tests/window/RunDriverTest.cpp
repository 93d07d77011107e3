// Runs the identification from a document window inside the real frame: the order of the
// run's steps, what it shows while and after it runs, the report, the plot window it finds or
// creates, and the guards that keep a run whole while the user goes on working.

#include "window/RunDriver.h"

#include "app/FractionText.h"
#include "app/MainForm.h"
#include "app/ModelsPanel.h"
#include "app/PlotChild.h"
#include "document/formats/ModelFile.h"
#include "document/project/ProjectFile.h"
#include "document/run/IdentificationRun.h"
#include "document/table/TableSamples.h"
#include "engine/linear/FitFigure.h"
#include "engine/search/Genetico.h"
#include "model/NumberText.h"
#include "model/Rnd.h"
#include "support/FakeUserDialogs.h"
#include "support/WindowLeakCheck.h"
#include "window/MDIMainChild.h"
#include "window/MSChart.h"
#include "window/ProjectKeeper.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>

namespace orvanel {

namespace {

constexpr int SeedMilliseconds = 537;
constexpr int Population = 10;
constexpr int Generations = 3;
constexpr int Samples = 40;

// A process's random source as it starts, seeded as an engine created at `milliseconds`.
void SeedAsNewProcess() {
    Rnd::GlobalState() = Rnd::State{};
    Rnd::SeedRandom(Rnd::SeedFromMilliseconds(SeedMilliseconds));
}

// Two inputs driving a first-order plant, as the document file stores it; the output sits
// around `level`.
QByteArray PlantText(int inputs = 2, double level = 0.0) {
    QByteArray text;
    double state = 0.0;
    for (int k = 0; k < Samples; ++k) {
        double drive = 0.0;
        QByteArray line;
        for (int i = 0; i < inputs; ++i) {
            const double u = (k / (5 + 3 * i)) % 2 == 0 ? 1.0 : -0.5;
            drive += (i + 1) * u;
            line += QByteArray::number(u) + '\t';
        }
        state = 0.8 * state + 0.2 * drive;
        text += line + QByteArray::number(state + level, 'g', 8) + "\r\n";
    }
    return text;
}

QStringList Lines(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
}

} // namespace

class RunDriverTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainForm> form_;
    FakeUserDialogs* dialogs_ = nullptr;
    std::unique_ptr<QTemporaryDir> dir_;

    QString WritePlant(const QString& name, int inputs = 2, double level = 0.0) {
        const QString path = dir_->filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(PlantText(inputs, level));
        return path;
    }
    TMDIMainChild* Open(const QString& path) {
        form_->OpenDocuments({path});
        TMDIMainChild* document = form_->Documents().constLast();
        Prepare(*document);
        return document;
    }
    static void Prepare(TMDIMainChild& document) {
        document.Engine().SetPopulationSize(Population);
        document.Engine().Generations = Generations;
        document.Driver().SeedBeforeRun = SeedAsNewProcess;
    }
    QList<TPlotMDIChild*> PlotWindows() const {
        QList<TPlotMDIChild*> plots;
        for (QMdiSubWindow* window : form_->ChildWindows()) {
            if (auto* plot = qobject_cast<TPlotMDIChild*>(window->widget())) {
                plots.append(plot);
            }
        }
        return plots;
    }
    QString Status() const {
        return form_->findChild<QLabel*>(QStringLiteral("MainStatusPanel"))->text();
    }
    QProgressBar* Gauge() const {
        return form_->findChild<QProgressBar*>(QStringLiteral("ProgressGauge"));
    }
    // The Window menu's Show Plot command as the menu shows it.
    QAction* ShowPlotCommand() const {
        for (QMenu* menu : form_->findChildren<QMenu*>()) {
            if (menu->title() == QStringLiteral("&Window")) {
                emit menu->aboutToShow();
            }
        }
        return form_->findChild<QAction*>(QStringLiteral("ShowPlotMenu"));
    }
    static QString Cell(const TMDIMainChild& document, int row, int column) {
        return QString::fromStdString(document.Doc().Table().CellText(row, column));
    }
    static QStringList ComputedColumn(const TMDIMainChild& document) {
        const DataTable& table = document.Doc().Table();
        QStringList cells;
        for (int r = 1; r <= table.DataPointCount(); ++r) {
            cells.append(Cell(document, r, table.ColumnCount() - 1));
        }
        return cells;
    }
    // Runs the document twice, the second time from another seed so that the two runs differ;
    // the computed column of the first run.
    static QStringList RunTwiceFromTwoSeeds(TMDIMainChild& document) {
        document.ExecuteAlgorithmMenuClick();
        const QStringList firstColumn = ComputedColumn(document);
        document.Driver().SeedBeforeRun = [] {
            Rnd::GlobalState() = Rnd::State{};
            Rnd::SeedRandom(0.25);
        };
        document.ExecuteAlgorithmMenuClick();
        return firstColumn;
    }
    static QStringList Items(const QComboBox& combo) {
        QStringList items;
        for (int i = 0; i < combo.count(); ++i) {
            items.append(combo.itemText(i));
        }
        return items;
    }
    static QString Text(QWidget& window, const char* name) {
        return window.findChild<FractionText*>(QString::fromLatin1(name))->Text();
    }
    // Calls `action` once from the event loop while `document` runs and its engine evolves.
    static void WhileEvolving(TMDIMainChild& document, std::function<void()> action) {
        auto* timer = new QTimer(&document);
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, timer, [&document, timer, action] {
            if (document.IsRunning() && document.Engine().Evolving()) {
                timer->stop();
                timer->deleteLater();
                action();
            }
        });
        timer->start();
    }
    // The computed output the core gives for the same table, parameters and seed.
    static QStringList CoreComputedColumn(const DataTable& table) {
        TGenetico engine;
        engine.SetPopulationSize(Population);
        engine.Generations = Generations;
        IdentificationRun run(engine);
        run.HandOver(TableSamples::FromTable(table));
        SeedAsNewProcess();
        run.Run();
        QStringList cells;
        for (int k = 0; k < table.DataPointCount(); ++k) {
            cells.append(
                QString::fromStdString(FormatGeneral(engine.BestModel().OutputSample(k), 15, '.')));
        }
        return cells;
    }

private slots:
    void init() {
        // The runs compare their texts with the command line's, which writes a point.
        QLocale::setDefault(QLocale::c());
        dir_ = std::make_unique<QTemporaryDir>();
        auto dialogs = std::make_unique<FakeUserDialogs>();
        dialogs_ = dialogs.get();
        form_ = std::make_unique<TMainForm>(std::move(dialogs));
        form_->resize(1000, 700);
        form_->show();
    }

    void cleanup() {
        form_.reset();
        VerifyNoTopLevelWindows();
    }

    void optionsGiveTheCommandsComputedOutputFitAndRefinedModel() {
        const QString path = WritePlant(QStringLiteral("plant.txt"));
        TMDIMainChild* document = Open(path);
        IdentificationOptions& options = document->Doc().Options();
        options.RemoveOffsets = true;
        options.ValidationPercent = 25;
        options.Refine = true;
        document->ExecuteAlgorithmMenuClick();

        const QString simulated = dir_->filePath(QStringLiteral("simulated.txt"));
        QProcess cli;
        cli.start(QStringLiteral(ORVANEL_IDENTIFY),
                  {QStringLiteral("--population"), QString::number(Population),
                   QStringLiteral("--generations"), QString::number(Generations),
                   QStringLiteral("--seed-ms"), QString::number(SeedMilliseconds),
                   QStringLiteral("--remove-offsets"), QStringLiteral("--validation-percent"),
                   QStringLiteral("25"), QStringLiteral("--refine"),
                   QStringLiteral("--simulated-output"), simulated, QStringLiteral("--report"),
                   dir_->filePath(QStringLiteral("cli_Report.txt")), QStringLiteral("--quiet"),
                   path});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QStringList expected;
        for (const QString& line : Lines(simulated).join(u'\n').split(u'\n', Qt::SkipEmptyParts)) {
            expected.append(QString::fromStdString(FormatGeneral(line.toDouble(), 15, '.')));
        }
        QCOMPARE(ComputedColumn(*document), expected);

        const QStringList printed =
            QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        const QStringList fits = printed.filter(QStringLiteral("Fit ("));
        QCOMPARE(fits.size(), 2);
        QCOMPARE(Status(), QStringLiteral("Ready   ") + fits.join(QStringLiteral("   ")));
        TPlotMDIChild* plot = PlotWindows().first();
        QCOMPARE(plot->OutputChart().ShadedFrom(), 31);
        QCOMPARE(QString::fromStdString(plot->OutputChart().Title()),
                 fits.join(QStringLiteral("   ")));
        // The plot window shows the model the command printed last: the refined one if any.
        const QStringList models = printed.filter(QStringLiteral("Input 1: "));
        QCOMPARE(
            models.last(),
            QStringLiteral("Input 1: %1/%2").arg(Text(*plot, "NumLabel"), Text(*plot, "DenLabel")));
    }

    void aThoroughRunKeepsTheUsersSettingsAndExportsTheCommandsModel() {
        const QString path = WritePlant(QStringLiteral("plant.txt"));
        TMDIMainChild* document = Open(path);
        const QString exported = dir_->filePath(QStringLiteral("window.json"));
        dialogs_->modelAnswer = exported;
        form_->ExportModelMenuClick();
        QCOMPARE(dialogs_->messages,
                 QStringList{QStringLiteral(
                     "Execute the identification first: there is no model to export.")});
        QVERIFY(!QFile::exists(exported));

        const double sizeFactor = document->Engine().SizeReductionFactor;
        document->Doc().Options().Thorough = true;
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(document->Engine().Generations, Generations);
        QCOMPARE(document->Engine().SizeReductionFactor, sizeFactor);

        form_->ExportModelMenuClick();
        QFile file(exported);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        const QString cliExport = dir_->filePath(QStringLiteral("cli.json"));
        QProcess cli;
        cli.start(QStringLiteral(ORVANEL_IDENTIFY),
                  {QStringLiteral("--population"), QString::number(Population),
                   QStringLiteral("--generations"), QString::number(Generations),
                   QStringLiteral("--seed-ms"), QString::number(SeedMilliseconds),
                   QStringLiteral("--thorough"), QStringLiteral("--export"), cliExport,
                   QStringLiteral("--report"), dir_->filePath(QStringLiteral("cli_Report.txt")),
                   QStringLiteral("--quiet"), path});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QFile cliFile(cliExport);
        QVERIFY(cliFile.open(QIODevice::ReadOnly));
        // The seed too: the command repeats the window's run from it.
        const nlohmann::json expected = nlohmann::json::parse(cliFile.readAll().toStdString());
        const nlohmann::json actual = nlohmann::json::parse(written.toStdString());
        QCOMPARE(actual["found_by"]["parameters"]["generations"].get<int>(), 200);
        QVERIFY(actual == expected);

        PlotWindows().first()->CopyModelEditMenuClick();
        QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(), written);
    }

    void aRunMatchesTheCommandLineAndShowsItsResults() {
        const QString path = WritePlant(QStringLiteral("plant.txt"));
        TMDIMainChild* document = Open(path);
        QStringList statuses;
        QList<int> images;
        auto* watcher = new QTimer(document);
        watcher->setInterval(0);
        connect(watcher, &QTimer::timeout, document, [&] {
            // The progress tick, on every turn of the loop rather than every two seconds.
            if (!document->Driver().TimerActive()) {
                return;
            }
            document->Driver().Timer1Timer();
            if (statuses.isEmpty() || statuses.last() != Status()) {
                statuses.append(Status());
            }
            images.append(form_->ExecuteImageIndex());
        });
        watcher->start();
        form_->EjecutarToolButtonClick();
        watcher->stop();

        // The same run as orvanel-identify with the same seed: the whole report but its date.
        const QString cliReport = dir_->filePath(QStringLiteral("cli_Report.txt"));
        QProcess cli;
        cli.start(QStringLiteral(ORVANEL_IDENTIFY),
                  {QStringLiteral("--population"), QString::number(Population),
                   QStringLiteral("--generations"), QString::number(Generations),
                   QStringLiteral("--seed-ms"), QString::number(SeedMilliseconds),
                   QStringLiteral("--report"), cliReport, QStringLiteral("--quiet"), path});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const QString reportPath = dir_->filePath(QStringLiteral("plant_Report.txt"));
        QCOMPARE(document->Driver().ReportPath(), reportPath);
        const QStringList report = Lines(reportPath);
        QCOMPARE(report.size(), 15 + Generations + 1 + 2 + 1 + 2 + 1);
        QCOMPARE(report.mid(1), Lines(cliReport).mid(1));
        QVERIFY(dialogs_->shownTextFiles.isEmpty());

        // The computed column: the core's best model with that seed, sample by sample.
        const DataTable& table = document->Doc().Table();
        QCOMPARE(Cell(*document, 0, 4), QStringLiteral("Output (calc.)"));
        DataTable withoutResults = table;
        withoutResults.RemoveComputedColumn();
        QCOMPARE(ComputedColumn(*document), CoreComputedColumn(withoutResults));

        QCOMPARE(PlotWindows().size(), 1);
        TPlotMDIChild* plot = PlotWindows().first();
        QCOMPARE(plot->windowTitle(), QStringLiteral("plant.txt - Plot"));
        QCOMPARE(Items(*plot->findChild<QComboBox*>(QStringLiteral("ComboBox1"))),
                 (QStringList{QStringLiteral("Input 1"), QStringLiteral("Input 2")}));
        const QString input1 = report[report.size() - 3];
        QCOMPARE(
            input1,
            QStringLiteral("Input 1: %1/%2").arg(Text(*plot, "NumLabel"), Text(*plot, "DenLabel")));
        TMSChart& chart = plot->OutputChart();
        QVERIFY(chart.isVisible());
        QCOMPARE(chart.RowCount(), Samples);
        const QStringList printed = plot->ChartDataLines();
        QCOMPARE(printed.size(), Samples + 1);
        QCOMPARE(printed.first(), QStringLiteral("Exp\tCalc"));
        QCOMPARE(printed[7], Cell(*document, 7, 3) + u'\t' + Cell(*document, 7, 4));

        // The step chart holds samples 1.. of the first input's step response.
        TFunTrans first;
        first.CopyFrom(document->Engine().BestModel().Functions()[0]);
        first.StepResponse();
        TMSChart& step = plot->StepChart();
        QCOMPARE(step.RowCount(), first.StepLength);
        QCOMPARE(step.ColumnCount(), 1);
        QVERIFY(!step.ShowLegend());
        step.SetRow(1);
        QCOMPARE(step.Data(), FormatGeneral(first.StepSample(1), 15, '.'));

        // Each tick names the generation reached, which never goes back.
        QCOMPARE(statuses.first(), QStringLiteral("Initializing population..."));
        QVERIFY(statuses.size() > 1);
        const QRegularExpression executing(
            QStringLiteral("^Executing\\.\\.\\. generation (\\d) of 3$"));
        int reached = -1;
        for (const QString& status : statuses.mid(1)) {
            const QRegularExpressionMatch match = executing.match(status);
            QVERIFY2(match.hasMatch(), qPrintable(status));
            QVERIFY(match.captured(1).toInt() > reached);
            reached = match.captured(1).toInt();
        }
        QVERIFY(!images.isEmpty());
        QVERIFY(std::all_of(images.begin(), images.end(),
                            [](int image) { return image == TMainForm::RunningImage; }));
        // The fit of the search's computed output, in the status line and over the chart.
        std::vector<double> measured;
        std::vector<double> computed;
        for (int r = 1; r <= Samples; ++r) {
            measured.push_back(Cell(*document, r, 3).toDouble());
            computed.push_back(Cell(*document, r, 4).toDouble());
        }
        const QString fit = QString::fromStdString(
            RunReport::FitLine("estimation", FitFigure::Percent(measured, computed, 0, Samples)));
        // So short a search fits poorly: the status line says once what does better.
        QCOMPARE(Status(), QStringLiteral("Ready   ") + fit +
                               QStringLiteral("   Fit -18.60 %: a thorough run (Options > Thorough "
                                              "identification) removes offsets, refines, tries "
                                              "other structures and usually fits far better"));
        QCOMPARE(QString::fromStdString(chart.Title()), fit);
        QCOMPARE(chart.ShadedFrom(), 0);
        QCOMPARE(Gauge()->maximum(), Generations);
        QCOMPARE(Gauge()->value(), Generations);
        QCOMPARE(form_->ExecuteImageIndex(), TMainForm::IdleImage);
        QVERIFY(!document->Driver().TimerActive());
        QVERIFY(!document->testAttribute(Qt::WA_SetCursor));
        QVERIFY(dialogs_->errors.isEmpty());
    }

    void editsDuringARunChangeNothingAndItsResultsGoWhereTheRunBegan() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        DataTable before = document->Doc().Table();
        auto* del = document->findChild<QPushButton*>(QStringLiteral("DelBitBtn"));
        auto* inputs = document->findChild<QAbstractSpinBox*>(QStringLiteral("InputsSpinEdit"));
        auto* grid = document->findChild<QTableView*>(QStringLiteral("DataStringGrid"));
        // A cell still open for typing when the run starts is part of its data.
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 0));
        QTest::keyClick(grid, Qt::Key_7);
        before.SetCellText(1, 1, "7");
        QList<bool> enabledDuringRun;
        WhileEvolving(*document, [&] {
            for (const char* name : {"AddBitBtn", "DelBitBtn", "PasteBitBtn"}) {
                enabledDuringRun.append(
                    document->findChild<QPushButton*>(QLatin1String(name))->isEnabled());
            }
            QTest::mouseClick(del, Qt::LeftButton);
            document->DelBitBtnClick();
            document->AddBitBtnClick();
            QTest::keyClick(inputs, Qt::Key_Up);
            QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r\n"));
            form_->PasteToolButtonClick();
            document->PasteBitBtnClick();
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_5);
            QTest::keyClick(grid, Qt::Key_Delete);
        });
        document->ExecuteAlgorithmMenuClick();

        QCOMPARE(enabledDuringRun, (QList<bool>{false, false, false}));
        DataTable& table = document->Doc().Table();
        QCOMPARE(Cell(*document, 0, 3), QStringLiteral("Output"));
        QCOMPARE(Cell(*document, 0, 4), QStringLiteral("Output (calc.)"));
        QCOMPARE(table.DataPointCount(), Samples);
        QCOMPARE(document->findChild<QLineEdit*>()->text(), QStringLiteral("2"));
        for (int row = 1; row <= Samples; ++row) {
            for (int column = 1; column <= 3; ++column) {
                QCOMPARE(table.DataCell(row, column), before.DataCell(row, column));
            }
        }
        QCOMPARE(ComputedColumn(*document), CoreComputedColumn(before));

        // Once the run has returned, the document can be edited again.
        QVERIFY(del->isEnabled());
        QTest::mouseClick(del, Qt::LeftButton);
        QCOMPARE(table.DataPointCount(), Samples - 1);
    }

    void aNewDocumentIsSavedFirstAndACancelChangesNothing() {
        form_->NewMenuClick();
        TMDIMainChild* document = form_->Documents().constFirst();
        Prepare(*document);
        QGuiApplication::clipboard()->setText(QString::fromLatin1(PlantText()));
        document->PasteTable();
        form_->EjecutarToolButtonClick();
        QCOMPARE(dialogs_->messages,
                 QStringList{QStringLiteral("Save the document before executing the algorithm.")});
        QCOMPARE(dialogs_->savePresets, QStringList{QStringLiteral("New1")});
        QCOMPARE(document->windowTitle(), QStringLiteral("New1"));
        QCOMPARE(document->Doc().Table().ColumnCount(), 4);
        QVERIFY(PlotWindows().isEmpty());
        QCOMPARE(Status(), QStringLiteral("Ready"));
        QCOMPARE(form_->ExecuteImageIndex(), TMainForm::IdleImage);

        dialogs_->saveAnswers = {dir_->filePath(QStringLiteral("Saved.txt"))};
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(dialogs_->messages.size(), 2);
        QCOMPARE(document->windowTitle(), QStringLiteral("saved.txt"));
        QVERIFY(QFile::exists(dir_->filePath(QStringLiteral("Saved_Report.txt"))));
        QCOMPARE(PlotWindows().size(), 1);
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(dialogs_->messages.size(), 2);
        QCOMPARE(dialogs_->savePresets.size(), 2);
    }

    void aSecondRunReplacesTheComputedColumnAndABadCellStopsAtTheHandOver() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        const QStringList firstResults = RunTwiceFromTwoSeeds(*document);
        DataTable& table = document->Doc().Table();
        QCOMPARE(table.ColumnCount(), 5);
        QCOMPARE(document->Engine().DataColumnCount(), 3);
        QVERIFY(ComputedColumn(*document) != firstResults);

        QFile::remove(document->Driver().ReportPath());
        QVERIFY(table.SetCellText(9, 2, "1..5"));
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(dialogs_->errors, QStringList{QStringLiteral(
                                       "Input data could not be understood. Execution "
                                       "cancelled. Row 9, column 2: \"1..5\" is not a number.")});
        QCOMPARE(Status(), QStringLiteral("Ready"));
        QCOMPARE(table.ColumnCount(), 4);
        QCOMPARE(Cell(*document, 9, 2), QStringLiteral("1..5"));
        QVERIFY(!document->Driver().TimerActive());
        QVERIFY(!document->IsRunning());
        QVERIFY(!QFile::exists(document->Driver().ReportPath()));
        QCOMPARE(PlotWindows().size(), 1);
    }

    void aStopEndsTheRunAfterTheCurrentGeneration() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->Engine().Generations = 1000;
        QString statusWhileStopping;
        int imageWhileStopping = -1;
        WhileEvolving(*document, [&] {
            form_->EjecutarToolButtonClick();
            statusWhileStopping = Status();
            // Until the run has ended, a click only asks again: no new run, no idle button.
            form_->EjecutarToolButtonClick();
            imageWhileStopping = form_->ExecuteImageIndex();
        });
        form_->EjecutarToolButtonClick();
        QCOMPARE(statusWhileStopping, QStringLiteral("Stopping..."));
        QCOMPARE(imageWhileStopping, TMainForm::RunningImage);
        const QStringList report = Lines(document->Driver().ReportPath());
        // The solution's six lines, then where the run stopped.
        const int rows = static_cast<int>(report.size()) - 15 - 6 - 4;
        QVERIFY2(rows >= 1 && rows < 20, qPrintable(QString::number(rows)));
        QCOMPARE(report[15 + rows - 1].section(u'\t', 0, 0), QString::number(rows - 1));
        QCOMPARE(report.last(), QStringLiteral("Stopped at generation %1 of 1000.").arg(rows - 1));
        QCOMPARE(Status(), QStringLiteral("Stopped at generation %1 of 1000.   ").arg(rows - 1) +
                               document->Driver().FitText());
        // The gauge stays where the run stopped.
        QCOMPARE(Gauge()->maximum(), 1000);
        QCOMPARE(Gauge()->value(), rows - 1);
        QCOMPARE(form_->ExecuteImageIndex(), TMainForm::IdleImage);
        QCOMPARE(ComputedColumn(*document).size(), Samples);
        // The stopped run's model is kept, marked as stopped.
        QCOMPARE(document->Doc().History().Models().size(), 1u);
        QVERIFY(document->Doc().History().Models()[0].Stopped);

        // A stop while the first population is built ends the run after generation 0.
        auto* click = new QTimer(document);
        click->setInterval(0);
        connect(click, &QTimer::timeout, this, [this, document, click] {
            if (document->Driver().TimerActive() && !document->Engine().Evolving()) {
                click->stop();
                form_->EjecutarToolButtonClick();
            }
        });
        click->start();
        form_->EjecutarToolButtonClick();
        QCOMPARE(Lines(document->Driver().ReportPath()).size(), 15 + 1 + 6 + 4);
        QCOMPARE(Status().section(QStringLiteral("   "), 0, 0),
                 QStringLiteral("Stopped at generation 0 of 1000."));
    }

    void phasesAfterTheSearchAreNamedAndAStopInThemSaysSo() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->Engine().Generations = 1000;
        document->Doc().Options().Restarts = 3;
        // The window is served often enough to see the restarts however quick they are.
        document->Driver().SeedBeforeRun = [document] {
            SeedAsNewProcess();
            document->Engine().ResponsiveInterval = std::chrono::milliseconds(1);
        };
        QStringList statuses;
        QList<int> gaugeMaxima;
        auto* watcher = new QTimer(document);
        watcher->setInterval(0);
        connect(watcher, &QTimer::timeout, document, [&] {
            if (!document->IsRunning() || statuses.contains(Status())) {
                return;
            }
            statuses.append(Status());
            if (Status().startsWith(QStringLiteral("Executing... Restart"))) {
                gaugeMaxima.append(Gauge()->maximum());
                form_->EjecutarToolButtonClick();
            }
        });
        watcher->start();
        form_->EjecutarToolButtonClick();
        watcher->stop();
        QVERIFY2(statuses.indexOf(QRegularExpression(
                     QStringLiteral("^Executing\\.\\.\\. Restart [1-3] of 3$"))) >= 0,
                 qPrintable(statuses.join(u'|')));
        QCOMPARE(gaugeMaxima.value(0), 3);
        QCOMPARE(Status().section(QStringLiteral("   "), 0, 0),
                 Lines(document->Driver().ReportPath()).last());
        QVERIFY2(Status().startsWith(QStringLiteral("Stopped during the restarts: ")),
                 qPrintable(Status()));
        QCOMPARE(Gauge()->maximum(), 3);
        QVERIFY(Gauge()->value() < 3);
    }

    void withOffsetsRemovedTheRunShowsTheOutputAtItsLevel() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt"), 2, 350.0));
        document->Doc().Options().RemoveOffsets = true;
        document->Engine().Generations = 1000;
        double meanWhileRunning = 0.0;
        WhileEvolving(*document, [&] {
            document->Driver().Timer1Timer();
            const QStringList computed = ComputedColumn(*document);
            for (const QString& cell : computed) {
                meanWhileRunning += cell.toDouble() / computed.size();
            }
            document->RequestStop();
        });
        document->ExecuteAlgorithmMenuClick();
        QVERIFY2(std::abs(meanWhileRunning - 350.0) < 50.0,
                 qPrintable(QString::number(meanWhileRunning)));
    }

    void anEditedTableIsNamedInTheReport() {
        const QString edited = QStringLiteral("The table was edited and not saved: the run used "
                                              "its %1 rows, not the data file's.")
                                   .arg(Samples);
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->ExecuteAlgorithmMenuClick();
        QVERIFY(!Lines(document->Driver().ReportPath()).contains(edited));
        QVERIFY(document->Doc().Table().SetCellText(3, 1, "0.5"));
        document->ExecuteAlgorithmMenuClick();
        QVERIFY(Lines(document->Driver().ReportPath()).contains(edited));
    }

    // Chosen in the options dialog, another open document judges the model: its fit stands in
    // the status line and the report, a bad cell of it stops the run naming it, and closing it
    // drops the choice.
    void anotherDocumentChosenAsValidationDataJudgesTheModel() {
        TMDIMainChild* other = Open(WritePlant(QStringLiteral("other.txt"), 2, 1.0));
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        const QString caption = QString::fromStdString(other->Doc().Caption());
        QTimer::singleShot(0, this, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog != nullptr);
            dialog->findChild<QComboBox*>(QStringLiteral("ValidationDataComboBox"))
                ->setCurrentIndex(1);
            QTest::mouseClick(dialog->findChild<QWidget*>(QStringLiteral("Arrancar")),
                              Qt::LeftButton);
        });
        emit document->OptionsRequested();
        QCOMPARE(document->Driver().ValidationDocument(), other);

        document->ExecuteAlgorithmMenuClick();
        const QRegularExpression fit(QStringLiteral("Fit \\(validation, %1\\) = [-0-9.]+ %")
                                         .arg(QRegularExpression::escape(caption)));
        const QString shown = fit.match(Status()).captured();
        QVERIFY2(!shown.isEmpty(), qPrintable(Status()));
        QVERIFY(Status().startsWith(QStringLiteral("Ready   Fit (estimation) = ")));
        QVERIFY(Lines(document->Driver().ReportPath()).contains(shown));

        QVERIFY(other->Doc().Table().SetCellText(3, 1, "x"));
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(dialogs_->errors,
                 QStringList{QStringLiteral("Validation data %1: Input data could not be "
                                            "understood. Execution cancelled. Row 3, column 1: "
                                            "\"x\" is not a number.")
                                 .arg(caption)});
        QVERIFY(!document->IsRunning());

        other->parentWidget()->close();
        QCOMPARE(document->Driver().ValidationDocument(), nullptr);
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(dialogs_->errors.size(), 1);
        QVERIFY2(!Status().contains(QStringLiteral("validation")), qPrintable(Status()));
    }

    void switchingDocumentsShowsEachOnesStateAndItsPlotCanBeShownAgain() {
        TMDIMainChild* first = Open(WritePlant(QStringLiteral("first.txt")));
        first->ExecuteAlgorithmMenuClick();
        const QString firstStatus = Status();
        QVERIFY(firstStatus.startsWith(QStringLiteral("Ready   Fit (estimation) = ")));
        TMDIMainChild* second = Open(WritePlant(QStringLiteral("second.txt")));
        QCOMPARE(Status(), QStringLiteral("Ready"));
        QCOMPARE(Gauge()->value(), 0);
        form_->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
        QCOMPARE(Status(), firstStatus);
        QCOMPARE(Gauge()->value(), Generations);

        // The closed plot window comes back with the run's model.
        TPlotMDIChild* plot = PlotWindows().first();
        const QString numerator = Text(*plot, "NumLabel");
        plot->parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(PlotWindows().isEmpty());
        form_->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(second->parentWidget()));
        form_->ShowPlotMenuClick();
        QVERIFY(PlotWindows().isEmpty());
        QVERIFY(!ShowPlotCommand()->isEnabled());
        form_->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
        QVERIFY(ShowPlotCommand()->isEnabled());
        form_->ShowPlotMenuClick();
        QCOMPARE(PlotWindows().size(), 1);
        QCOMPARE(PlotWindows().first()->windowTitle(), QStringLiteral("first.txt - Plot"));
        QCOMPARE(Text(*PlotWindows().first(), "NumLabel"), numerator);
    }

    void theRunFindsItsPlotWindowByCaption() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->ExecuteAlgorithmMenuClick();
        TPlotMDIChild* plot = PlotWindows().first();
        auto* combo = plot->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        combo->setCurrentIndex(1);
        plot->ComboBox1Change();
        const QString second = Text(*plot, "NumLabel") + u'/' + Text(*plot, "DenLabel");
        QCOMPARE(QStringLiteral("Input 2: ") + second,
                 Lines(document->Driver().ReportPath()).at(15 + Generations + 1 + 4));

        // A reused window keeps the chosen input while the model has it...
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(PlotWindows(), QList<TPlotMDIChild*>{plot});
        QCOMPARE(combo->currentIndex(), 1);
        // ...and lists no input the model lacks.
        QVERIFY(document->Doc().Table().ReshapeColumns("1"));
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(Items(*combo), QStringList{QStringLiteral("Input 1")});
        QCOMPARE(combo->currentIndex(), 0);

        // Closed between runs: the next run makes a new one with a fresh list.
        QVERIFY(document->Doc().Table().ReshapeColumns("2"));
        plot->parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(PlotWindows().size(), 1);
        QCOMPARE(Items(*PlotWindows().first()->findChild<QComboBox*>(QStringLiteral("ComboBox1"))),
                 (QStringList{QStringLiteral("Input 1"), QStringLiteral("Input 2")}));

        // Saved under a new name, the document no longer matches its old plot window.
        TPlotMDIChild* old = PlotWindows().first();
        document->SaveDocument(dir_->filePath(QStringLiteral("other.txt")));
        old->ExecuteAlgorithmMenuClick();
        QCOMPARE(PlotWindows().size(), 1);
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(PlotWindows().size(), 2);
        QCOMPARE(PlotWindows().last()->windowTitle(), QStringLiteral("other.txt - Plot"));
        QCOMPARE(old->windowTitle(), QStringLiteral("plant.txt - Plot"));

        // The document's plot windows close with it.
        document->parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form_->ChildWindows().isEmpty());
    }

    void ctrlERunsFromThePlotWindowAndTheCountFields() {
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->ExecuteAlgorithmMenuClick();
        QFile::remove(document->Driver().ReportPath());
        QMdiSubWindow* plotFrame =
            qobject_cast<QMdiSubWindow*>(PlotWindows().first()->parentWidget());
        form_->MdiArea()->setActiveSubWindow(plotFrame);
        QTest::keyClick(PlotWindows().first(), Qt::Key_E, Qt::ControlModifier);
        QVERIFY(QFile::exists(document->Driver().ReportPath()));
        QCOMPARE(PlotWindows().size(), 1);

        // The count fields are text fields, yet Ctrl+E runs there too.
        form_->MdiArea()->setActiveSubWindow(
            qobject_cast<QMdiSubWindow*>(document->parentWidget()));
        for (const char* name : {"InputsSpinEdit", "DataPointsSpinEdit"}) {
            QFile::remove(document->Driver().ReportPath());
            auto* field = document->findChild<QAbstractSpinBox*>(QLatin1String(name));
            field->setFocus();
            QTRY_VERIFY(field->hasFocus());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::ControlModifier);
            QVERIFY2(QFile::exists(document->Driver().ReportPath()), name);
        }
    }

    // Ctrl+E stops a run as the tool button does, and a thorough run counts its own generations.
    void ctrlEStopsAThoroughRunAtOneOfItsOwnGenerations() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->Doc().Options().Thorough = true;
        form_->MdiArea()->setActiveSubWindow(
            qobject_cast<QMdiSubWindow*>(document->parentWidget()));
        WhileEvolving(*document,
                      [&] { QTest::keyClick(document, Qt::Key_E, Qt::ControlModifier); });
        document->ExecuteAlgorithmMenuClick();
        const QStringList report = Lines(document->Driver().ReportPath());
        QVERIFY2(report.last().startsWith(QStringLiteral("Stopped at generation ")),
                 qPrintable(report.last()));
        QVERIFY2(report.last().endsWith(QStringLiteral(" of 200.")), qPrintable(report.last()));
        QVERIFY(Status().startsWith(report.last() + QStringLiteral("   ")));
    }

    void aRunIsNotReentrantAndClosesOnlyWhenItHasReturned() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->Doc().SetShowReport(true);
        document->Engine().Generations = 1000;
        int rowsWhenAskedAgain = -1;
        bool populationLocked = false;
        WhileEvolving(*document, [&] {
            const int generation = document->Engine().Generation();
            document->ExecuteAlgorithmMenuClick();
            PlotWindows().first()->ExecuteAlgorithmMenuClick();
            rowsWhenAskedAgain = document->Engine().Generation() - generation;
            QTimer::singleShot(0, document, [&] {
                QWidget* dialog = QApplication::activeModalWidget();
                populationLocked =
                    !dialog->findChild<QLineEdit*>(QStringLiteral("TamPob"))->isEnabled();
                dialog->close();
            });
            document->OptionsAlgorithmMenuClick();
            // Closing is refused while the user does not agree to stop...
            dialogs_->stopRunAnswers = {false, true};
            document->parentWidget()->close();
            // ...and deferred until the run has returned when they do.
            PlotWindows().first()->parentWidget()->close();
        });
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(rowsWhenAskedAgain, 0);
        QVERIFY(populationLocked);
        QCOMPARE(dialogs_->stopRunQuestions, 2);
        QCOMPARE(dialogs_->shownTextFiles, QStringList{document->Driver().ReportPath()});
        QCOMPARE(PlotWindows().size(), 1);
        const QStringList report = Lines(document->Driver().ReportPath());
        QVERIFY(report.size() < 100);
        QCOMPARE(report[report.size() - 5].left(21), QStringLiteral("Objective Function = "));
        QCOMPARE(report[report.size() - 2], QStringLiteral("RUN STOPPED"));
        QTRY_VERIFY(PlotWindows().isEmpty());
        QCOMPARE(form_->Documents().size(), 1);
    }

    void closingARunningDocumentClosesItAfterTheRun() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->Engine().Generations = 1000;
        WhileEvolving(*document, [&] {
            dialogs_->stopRunAnswers = {true};
            document->parentWidget()->close();
        });
        document->ExecuteAlgorithmMenuClick();
        QTRY_VERIFY(form_->Documents().isEmpty());
    }

    void exitDuringARunStopsItThenExits() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->Engine().Generations = 1000;
        WhileEvolving(*document, [&] {
            dialogs_->stopRunAnswers = {true};
            form_->close();
            QVERIFY(form_->isVisible());
        });
        document->ExecuteAlgorithmMenuClick();
        QTRY_VERIFY(form_->Documents().isEmpty());
        QTRY_VERIFY(!form_->isVisible());
        QCOMPARE(dialogs_->stopRunQuestions, 1);
    }

    void aReportThatCannotBeCreatedStillEndsTheRun() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->Doc().SetShowReport(true);
        const QString reportPath = dir_->filePath(QStringLiteral("plant_Report.txt"));
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("plant_Report.txt")));
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(dialogs_->errors.size(), 1);
        QVERIFY2(dialogs_->errors.first().contains(reportPath),
                 qPrintable(dialogs_->errors.first()));
        QVERIFY(dialogs_->shownTextFiles.isEmpty());
        QCOMPARE(Status(), QStringLiteral("Ready"));
        QCOMPARE(form_->ExecuteImageIndex(), TMainForm::IdleImage);
        QVERIFY(!document->Driver().TimerActive());
        QVERIFY(!document->IsRunning());
    }

    void theBusyCursorCoversThisRunsPlotWindowOnly() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        QList<Qt::CursorShape> shapes;
        document->Driver().SeedBeforeRun = [&] {
            SeedAsNewProcess();
            TPlotMDIChild* plot = PlotWindows().last();
            for (QWidget* widget : {static_cast<QWidget*>(document), static_cast<QWidget*>(plot),
                                    static_cast<QWidget*>(&plot->OutputChart()),
                                    static_cast<QWidget*>(&plot->StepChart())}) {
                shapes.append(widget->cursor().shape());
            }
        };
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(shapes, QList<Qt::CursorShape>(4, Qt::WaitCursor));

        // Saved under a new name, the document runs into a new plot window; the old one is
        // left with its normal cursor.
        TPlotMDIChild* old = PlotWindows().first();
        document->SaveDocument(dir_->filePath(QStringLiteral("other.txt")));
        document->ExecuteAlgorithmMenuClick();
        QCOMPARE(PlotWindows().size(), 2);
        for (QWidget* widget : {static_cast<QWidget*>(document), static_cast<QWidget*>(old),
                                static_cast<QWidget*>(&old->OutputChart()),
                                static_cast<QWidget*>(PlotWindows().last())}) {
            QVERIFY(!widget->testAttribute(Qt::WA_SetCursor));
        }
    }

    void aDocumentClosedWhileAnotherOfItsCaptionRunsIsNotRunAfterwards() {
        const QString path = WritePlant(QStringLiteral("plant.txt"));
        TMDIMainChild* first = Open(path);
        first->ExecuteAlgorithmMenuClick();
        TMDIMainChild* second = Open(path);
        form_->MdiArea()->setActiveSubWindow(
            qobject_cast<QMdiSubWindow*>(PlotWindows().first()->parentWidget()));
        // The plot window's documents run last first: the second, then the first, which the
        // user closes meanwhile.
        second->Engine().Generations = 1000;
        WhileEvolving(*second, [first] {
            first->parentWidget()->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });
        form_->EjecutarToolButtonClick();
        QCOMPARE(form_->Documents(), QList<TMDIMainChild*>{second});
    }

    void numbersFollowTheUsersDecimalSeparator() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QByteArray text = PlantText();
        text.replace('.', ',');
        const QString path = dir_->filePath(QStringLiteral("komma.txt"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        file.close();
        TMDIMainChild* document = Open(path);
        document->ExecuteAlgorithmMenuClick();
        QVERIFY(dialogs_->errors.isEmpty());
        const QStringList computed = ComputedColumn(*document);
        QVERIFY(std::none_of(computed.begin(), computed.end(),
                             [](const QString& cell) { return cell.contains(u'.'); }));
        QVERIFY(std::any_of(computed.begin(), computed.end(),
                            [](const QString& cell) { return cell.contains(u','); }));
        QVERIFY(Lines(document->Driver().ReportPath()).at(7).contains(u','));
    }

    // Two runs are kept; choosing the first shows its output in the column and on the chart,
    // ticking it overlays it with its name and fit, and a removal keeps a model chosen.
    void theModelsListKeepsEveryRunAndShowsTheChosenOne() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        const QStringList firstColumn = RunTwiceFromTwoSeeds(*document);
        const RunHistory& history = document->Doc().History();
        QCOMPARE(history.Models().size(), 2u);
        QCOMPARE(history.Chosen(), std::optional<std::size_t>(1));
        TPlotMDIChild* plot = PlotWindows().constFirst();
        QTreeWidget& list = plot->Models().List();
        QCOMPARE(list.topLevelItemCount(), 2);
        QCOMPARE(list.topLevelItem(0)->text(0), QStringLiteral("Run 1"));
        const QStringList secondColumn = ComputedColumn(*document);
        QVERIFY(secondColumn != firstColumn);

        list.setCurrentItem(list.topLevelItem(0));
        QTRY_COMPARE(ComputedColumn(*document), firstColumn);
        const KeptModel& first = history.Models()[0];
        const std::string firstFit = first.FitLabel();
        QCOMPARE(plot->OutputChart().Title(), firstFit);
        QCOMPARE(Status(), QStringLiteral("Ready   ") + QString::fromStdString(firstFit));
        // Export Model writes the chosen model.
        dialogs_->modelAnswer = dir_->filePath(QStringLiteral("first.json"));
        form_->ExportModelMenuClick();
        QVERIFY(ModelFile::Read(QFile::encodeName(dialogs_->modelAnswer).toStdString())
                    .Simulate(TableSamples::FromTable(document->Doc().Table())) == first.Computed);

        list.topLevelItem(1)->setCheckState(0, Qt::Checked);
        TMSChart& chart = plot->OutputChart();
        QTRY_COMPARE(chart.ColumnCount(), 3);
        chart.SetColumn(3);
        QCOMPARE(chart.ColumnLabel(), "Run 2: " + history.Models()[1].FitLabel());
        chart.SetRow(Samples);
        QCOMPARE(QString::fromStdString(chart.Data()), secondColumn.constLast());

        document->Driver().RemoveModel(0);
        QCOMPARE(history.Models().size(), 1u);
        QCOMPARE(ComputedColumn(*document), secondColumn);
        QCOMPARE(list.topLevelItemCount(), 1);

        // With the last one gone, the document is as before its first run.
        document->Driver().RemoveModel(0);
        QVERIFY(!document->Doc().Table().HasComputedColumn());
        QVERIFY(!document->Driver().ModelDescription().has_value());
        QVERIFY(!document->Driver().CanShowPlot());
        QCOMPARE(Status(), QStringLiteral("Ready"));
        QTRY_VERIFY(PlotWindows().isEmpty());
    }

    // After an edit a model chosen is simulated on the rows as they are now; undone, the run's
    // own output comes back to the last bit.
    void aModelChosenAfterAnEditIsSimulatedOnTheEditedRows() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->ExecuteAlgorithmMenuClick();
        document->ExecuteAlgorithmMenuClick();
        const QStringList runColumn = ComputedColumn(*document);
        const RunHistory& history = document->Doc().History();

        document->DelBitBtnClick();
        document->Driver().ChooseModel(0);
        const TableSamples edited = TableSamples::FromTable(document->Doc().Table());
        QCOMPARE(ComputedColumn(*document).size(), Samples - 1);
        QVERIFY(history.Models()[0].Computed == history.Models()[0].Coefficients.Simulate(edited));
        document->Driver().ChooseModel(1);
        QVERIFY(history.Models()[1].Computed == history.Models()[1].Coefficients.Simulate(edited));
        QCOMPARE(Status(), QStringLiteral("Ready   ") +
                               QString::fromStdString(history.Models()[1].FitLabel()));

        document->UndoEditMenuClick();
        document->Driver().OverlayModel(1, true);
        QCOMPARE(ComputedColumn(*document), runColumn);
    }

    // A model exported and read back gives the run's output again; one of other inputs is
    // refused naming the file and the document.
    void anImportedModelComputesWhatItsRunComputed() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->ExecuteAlgorithmMenuClick();
        dialogs_->modelAnswer = dir_->filePath(QStringLiteral("model.json"));
        form_->ExportModelMenuClick();
        const std::vector<double> runOutput = document->Doc().History().Models()[0].Computed;

        dialogs_->importModelAnswer = dialogs_->modelAnswer;
        form_->ImportModelMenuClick();
        const KeptModel& imported = document->Doc().History().Models().back();
        QCOMPARE(imported.Name, std::string("model"));
        QVERIFY(imported.Computed == runOutput);

        TMDIMainChild* oneInput = Open(WritePlant(QStringLiteral("one.txt"), 1));
        form_->ImportModelMenuClick();
        QCOMPARE(dialogs_->errors,
                 QStringList{QStringLiteral("Cannot import %1 into one.txt: The data have 1 "
                                            "inputs; the model has 2")
                                 .arg(dialogs_->modelAnswer)});
        QVERIFY(oneInput->Doc().History().Empty());
    }

    // The project holds both documents, one embedded and one by its file, with their options,
    // names and models; opened again, every model is the same to the last bit.
    void aProjectSavedAndOpenedGivesTheSameDocumentsAndModels() {
        TMDIMainChild* plant = Open(WritePlant(QStringLiteral("plant.txt")));
        plant->Doc().Options().RemoveOffsets = true;
        plant->Doc().Options().ValidationPercent = 25;
        plant->Doc().SetSampleTime(0.5);
        plant->ExecuteAlgorithmMenuClick();
        plant->Doc().History().Rename(0, "offsets");
        TMDIMainChild* edited = Open(WritePlant(QStringLiteral("edited.txt"), 2, 3.0));
        edited->ExecuteAlgorithmMenuClick();
        QVERIFY(edited->Doc().Table().SetCellText(1, 1, "7"));
        edited->Doc().MarkModified();
        const std::vector<ProjectDocument> before = {ProjectKeeper::Describe(*plant, false),
                                                     ProjectKeeper::Describe(*edited, false)};
        QCOMPARE(before[0].DataPath, QFile::encodeName(plant->DocumentPath()).toStdString());
        QVERIFY(before[1].DataPath.empty());
        const std::vector<double> computed = plant->Doc().History().Models()[0].Computed;

        dialogs_->projectAnswer = dir_->filePath(QStringLiteral("work"));
        dialogs_->embedDataAnswer = false;
        form_->SaveProjectMenuClick();
        QVERIFY(!plant->Doc().History().Unsaved());
        edited->Doc().Table().ClearModified();
        form_->CloseAllMenuClick();
        QVERIFY(dialogs_->saveModelsCaptions.isEmpty());
        QVERIFY(form_->Documents().isEmpty());

        form_->OpenDocuments({dir_->filePath(QStringLiteral("work.orvanel"))});
        QVERIFY(dialogs_->errors.isEmpty());
        const QList<TMDIMainChild*> opened = form_->Documents();
        QCOMPARE(opened.size(), 2);
        for (int d = 0; d < 2; ++d) {
            const ProjectDocument after = ProjectKeeper::Describe(*opened[d], false);
            QCOMPARE(ProjectFile::Text({after}), ProjectFile::Text({before[d]}));
        }
        const KeptModel& model = opened[0]->Doc().History().Models()[0];
        QCOMPARE(model.Name, std::string("offsets"));
        QVERIFY(model.Computed == computed);
        QCOMPARE(opened[0]->Doc().SampleTime(), std::optional<double>(0.5));
        QCOMPARE(Cell(*opened[1], 1, 1), QStringLiteral("7"));
        QCOMPARE(PlotWindows().size(), 2);
    }

    // Closing a document or the program with models not in a project asks first; Cancel keeps
    // it open, Save writes the project.
    void closingWithUnsavedModelsAsksFirst() {
        TMDIMainChild* document = Open(WritePlant(QStringLiteral("plant.txt")));
        document->ExecuteAlgorithmMenuClick();
        dialogs_->saveModelsAnswers = {UserDialogs::Answer::Cancel};
        form_->CloseAllMenuClick();
        QCOMPARE(dialogs_->saveModelsCaptions, QStringList{QStringLiteral("plant.txt")});
        QCOMPARE(form_->Documents().size(), 1);

        dialogs_->saveModelsAnswers = {UserDialogs::Answer::Yes};
        dialogs_->projectAnswer = dir_->filePath(QStringLiteral("kept.orvanel"));
        form_->close();
        QVERIFY(QFile::exists(dialogs_->projectAnswer));
        QVERIFY(form_->Documents().isEmpty());
    }
};

} // namespace orvanel

QTEST_MAIN(orvanel::RunDriverTest)
#include "RunDriverTest.moc"
