// Compare on...: a kept model simulated on another document's rows or on a data file.

#include "window/ModelComparison.h"

#include "document/project/KeptModel.h"
#include "document/table/TableSamples.h"
#include "support/FakeDocumentHost.h"
#include "support/WindowLeakCheck.h"
#include "window/MDIMainChild.h"
#include "window/MSChart.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

namespace orvanel {

namespace {

constexpr int Rows = 8;

// A first-order lag on input 1 and a gain on input 2.
KeptModel LagAndGain() {
    KeptModel model;
    model.Name = "lag";
    model.Coefficients.Inputs = {{"", {0.5}, {1.0, -0.5}, 1}, {"", {2.0}, {1.0}, 0}};
    return model;
}

// Rows of `inputs` stepping inputs and the output `output(samples)` gives for them.
QByteArray DataText(int inputs,
                    const std::function<std::vector<double>(const TableSamples&)>& output) {
    std::vector<std::vector<double>> columns(static_cast<std::size_t>(inputs));
    for (int i = 0; i < inputs; ++i) {
        for (int k = 0; k < Rows; ++k) {
            columns[static_cast<std::size_t>(i)].push_back((k / (2 + i)) % 2 == 0 ? 1.0 : -0.5);
        }
    }
    const std::vector<double> outputs =
        output(TableSamples::FromColumns(columns, std::vector<double>(Rows, 0.0)));
    QByteArray text;
    for (int k = 0; k < Rows; ++k) {
        for (const std::vector<double>& column : columns) {
            text += QByteArray::number(column[static_cast<std::size_t>(k)]) + '\t';
        }
        text += QByteArray::number(outputs[static_cast<std::size_t>(k)], 'g', 17) + "\r\n";
    }
    return text;
}

} // namespace

class ModelComparisonTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FakeDocumentHost> host_;
    std::vector<std::unique_ptr<TMDIMainChild>> documents_;

    QString Write(const QString& name, const QByteArray& text) {
        const QString path = dir_->filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return path;
    }
    TMDIMainChild& Open(const QString& name, const QByteArray& text) {
        documents_.push_back(std::make_unique<TMDIMainChild>(*host_, name));
        documents_.back()->LoadDocument(Write(name, text));
        return *documents_.back();
    }
    QList<TMDIMainChild*> Documents() const {
        QList<TMDIMainChild*> documents;
        for (const auto& document : documents_) {
            documents.append(document.get());
        }
        return documents;
    }

private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        dir_ = std::make_unique<QTemporaryDir>();
        host_ = std::make_unique<FakeDocumentHost>();
    }

    void cleanup() {
        documents_.clear();
        host_.reset();
        VerifyNoTopLevelWindows();
    }

    // The rows of the second document are the model's own output: a fit of 100 % there, where
    // the source's zero output would give another figure.
    void aModelComparedOnADocumentWithItsInputsShowsItsFitThere() {
        TMDIMainChild& source =
            Open(QStringLiteral("source.txt"), DataText(2, [](const TableSamples& samples) {
                     return std::vector<double>(static_cast<std::size_t>(samples.Samples()), 0.0);
                 }));
        Open(QStringLiteral("other.txt"), DataText(2, [](const TableSamples& samples) {
                 return LagAndGain().Coefficients.Simulate(samples);
             }));
        source.Doc().History().Add(LagAndGain());
        host_->dialogs.chooseItemAnswer = 0;

        QWidget* window = ModelComparison::Run(host_->dialogs, source, 0, Documents());
        QVERIFY(window != nullptr);
        QCOMPARE(host_->dialogs.chooseItemQuestions,
                 QStringList{QStringLiteral("Simulate lag on:")});
        QCOMPARE(window->windowTitle(), QStringLiteral("lag on other.txt"));
        QCOMPARE(window->findChild<TMSChart*>()->Title(),
                 std::string("Fit (other.txt) = 100.00 %"));
        QVERIFY(host_->dialogs.errors.isEmpty());
    }

    // A CSV file with a header is read through the import, as File > Open reads it.
    void aModelComparedOnACsvFileReadsItThroughTheImport() {
        TMDIMainChild& source =
            Open(QStringLiteral("source.txt"), DataText(2, [](const TableSamples& samples) {
                     return std::vector<double>(static_cast<std::size_t>(samples.Samples()), 0.0);
                 }));
        source.Doc().History().Add(LagAndGain());
        host_->dialogs.chooseItemAnswer = 0;
        const QByteArray rows = DataText(2, [](const TableSamples& samples) {
            return LagAndGain().Coefficients.Simulate(samples);
        });
        host_->dialogs.openAnswers = {
            Write(QStringLiteral("other.csv"),
                  "valve,feed,level\r\n" + QByteArray(rows).replace('\t', ','))};

        QWidget* window = ModelComparison::Run(host_->dialogs, source, 0, Documents());
        QVERIFY(window != nullptr);
        QCOMPARE(host_->dialogs.importQuestions, 1);
        QCOMPARE(window->findChild<TMSChart*>()->Title(),
                 std::string("Fit (other.csv) = 100.00 %"));
    }

    // A document of one input is not offered; the same data chosen as a file are refused.
    void dataWithAnotherNumberOfInputsAreRefused() {
        const auto zeros = [](const TableSamples& samples) {
            return std::vector<double>(static_cast<std::size_t>(samples.Samples()), 0.0);
        };
        TMDIMainChild& source = Open(QStringLiteral("source.txt"), DataText(2, zeros));
        Open(QStringLiteral("one.txt"), DataText(1, zeros));
        source.Doc().History().Add(LagAndGain());
        host_->dialogs.chooseItemAnswer = 0;
        host_->dialogs.openAnswers = {Write(QStringLiteral("one-file.txt"), DataText(1, zeros))};

        QCOMPARE(ModelComparison::Run(host_->dialogs, source, 0, Documents()), nullptr);
        QVERIFY(host_->dialogs.openAnswers.isEmpty());
        QCOMPARE(host_->dialogs.errors,
                 QStringList{QStringLiteral(
                     "Cannot simulate lag: The data have 1 inputs; the model has 2")});
    }
};

} // namespace orvanel

QTEST_MAIN(orvanel::ModelComparisonTest)
#include "ModelComparisonTest.moc"
