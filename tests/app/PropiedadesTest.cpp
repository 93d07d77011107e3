// The options dialog: each field's validation message and stored value, the elitism rule, the
// arrows, the selection switch and the opening protocol.

#include "app/Propiedades.h"

#include "app/UpDown.h"
#include "document/project/Document.h"
#include "engine/search/Genetico.h"
#include "support/FakeUserDialogs.h"
#include "support/WindowLeakCheck.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>

namespace orvanel {

namespace {

const QString IntegerMessage =
    QStringLiteral("Debe introducir un valor entero mayor que cero en esta casilla");
const QString ProbabilityMessage =
    QStringLiteral("Debe introducir un valor comprendido entre 0 y 1 en esta casilla");
const QString AboveZeroMessage =
    QStringLiteral("A value bigger than zero must be introduced in this field");
const QString PercentMessage =
    QStringLiteral("A value between 0 and 100 must be introduced in this field");

double Parameter(const TGenetico& engine, const QString& name) {
    const std::map<QString, std::function<double()>> parameters = {
        {QStringLiteral("PopulationSize"), [&] { return engine.PopulationSize(); }},
        {QStringLiteral("Generations"), [&] { return engine.Generations; }},
        {QStringLiteral("PreservedIndividuals"), [&] { return engine.PreservedIndividuals; }},
        {QStringLiteral("MutationProbability"), [&] { return engine.MutationProbability(); }},
        {QStringLiteral("TournamentProbability"), [&] { return engine.TournamentProbability(); }},
        {QStringLiteral("RegenerationPeriod"), [&] { return engine.RegenerationPeriod; }},
        {QStringLiteral("RegenerationPercent"), [&] { return engine.RegenerationPercent; }},
        {QStringLiteral("SizeReductionFactor"), [&] { return engine.SizeReductionFactor; }},
    };
    return parameters.at(name)();
}

void Leave(QWidget* field) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(field, &out);
}

} // namespace

class PropiedadesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TGenetico> engine_;
    FakeUserDialogs dialogs_;
    std::unique_ptr<TPropiedades> dialog_;

    QLineEdit* Field(const QString& name) { return dialog_->findChild<QLineEdit*>(name); }
    QComboBox* Selection() {
        return dialog_->findChild<QComboBox*>(QStringLiteral("SeleccionComboBox"));
    }
    void Retype(const QString& name, const QString& text) {
        Field(name)->setFocus();
        Field(name)->selectAll();
        QTest::keyClicks(Field(name), text);
        Leave(Field(name));
    }

private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        engine_ = std::make_unique<TGenetico>(0);
        dialogs_ = FakeUserDialogs();
        dialog_ = std::make_unique<TPropiedades>(*engine_, dialogs_);
        dialog_->IniciarValores();
        dialog_->show();
    }

    void cleanup() {
        dialog_.reset();
        engine_.reset();
        VerifyNoTopLevelWindows();
    }

    void fieldIsValidatedWhenLeft_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<double>("stored");

        const auto row = [](const char* name, const char* field, const char* typed,
                            const QString& message, const char* parameter, double stored) {
            QTest::newRow(name) << QString::fromLatin1(field) << QString::fromLatin1(typed)
                                << message << QString::fromLatin1(parameter) << stored;
        };
        row("population 0", "TamPob", "0", IntegerMessage, "PopulationSize", 80);
        row("population text", "TamPob", "8x", IntegerMessage, "PopulationSize", 80);
        row("population 40", "TamPob", "40", {}, "PopulationSize", 40);
        row("population odd", "TamPob", "7", {}, "PopulationSize", 8);
        row("generations 0", "NumGen", "0", IntegerMessage, "Generations", 100);
        row("generations decimal", "NumGen", "2.5", IntegerMessage, "Generations", 100);
        row("generations 250", "NumGen", "250", {}, "Generations", 250);
        row("preserved 0", "NumElitismo", "0", {}, "PreservedIndividuals", 0);
        row("preserved negative", "NumElitismo", "-1", IntegerMessage, "PreservedIndividuals", 5);
        row("mutation 0.25", "MutProb", "0.25", {}, "MutationProbability", 0.25);
        row("mutation percent", "MutProb", "50", {}, "MutationProbability", 0.5);
        row("mutation 150", "MutProb", "150", ProbabilityMessage, "MutationProbability", 0.001);
        row("mutation text", "MutProb", "abc", ProbabilityMessage, "MutationProbability", 0.001);
        row("mutation comma", "MutProb", "0,5", ProbabilityMessage, "MutationProbability", 0.001);
        row("period 0", "RefreshPeriodEdit", "0", {}, "RegenerationPeriod", 0);
        row("period negative", "RefreshPeriodEdit", "-3", AboveZeroMessage, "RegenerationPeriod",
            10);
        row("percent 100", "PercRefreshEdit", "100", {}, "RegenerationPercent", 100);
        row("percent 12.5", "PercRefreshEdit", "12.5", {}, "RegenerationPercent", 12.5);
        row("percent above", "PercRefreshEdit", "100.5", PercentMessage, "RegenerationPercent", 10);
        row("size 0", "SizeEdit", "0", {}, "SizeReductionFactor", 0);
        row("size 2.5", "SizeEdit", "2.5", {}, "SizeReductionFactor", 2.5);
        row("size overflowing every fitness", "SizeEdit", "2000000000000",
            QStringLiteral("A value not above 1000000000000 must be introduced in this field"),
            "SizeReductionFactor", 200000000000);
    }

    void fieldIsValidatedWhenLeft() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, parameter);
        QFETCH(double, stored);

        Retype(field, typed);
        QCOMPARE(Parameter(*engine_, parameter), stored);
        if (message.isEmpty()) {
            QVERIFY(dialogs_.messages.isEmpty());
            QCOMPARE(Field(field)->text(), typed);
        } else {
            // Typing the size field reports each unreadable text at once, so only the last
            // message counts here.
            QCOMPARE(dialogs_.messages.last(), message);
            QCOMPARE(Field(field)->text(), QString());
            QCOMPARE(dialog_->focusWidget(), Field(field));
        }
    }

    void sizeFieldIsCheckedOnEveryChange() {
        Field(QStringLiteral("SizeEdit"))->clear();
        QCOMPARE(dialogs_.messages, QStringList{AboveZeroMessage});
        QCOMPARE(engine_->SizeReductionFactor, 100.0);
        QTest::keyClicks(Field(QStringLiteral("SizeEdit")), QStringLiteral("3-"));
        QCOMPARE(engine_->SizeReductionFactor, 3.0);
        QCOMPARE(dialogs_.messages.size(), 2);
        QCOMPARE(Field(QStringLiteral("SizeEdit"))->text(), QString());
    }

    void tournamentFieldFollowsTheSelection() {
        QLineEdit* tournament = Field(QStringLiteral("ProbTornEdit"));
        QVERIFY(tournament->isReadOnly());
        QCOMPARE(tournament->text(), QString());

        Selection()->setCurrentIndex(1);
        QCOMPARE(engine_->SelectionType, 1);
        QVERIFY(!tournament->isReadOnly());
        QCOMPARE(tournament->text(), QStringLiteral("0.7"));
        Retype(QStringLiteral("ProbTornEdit"), QStringLiteral("150"));
        QCOMPARE(dialogs_.messages, QStringList{ProbabilityMessage});
        Retype(QStringLiteral("ProbTornEdit"), QStringLiteral("0.9"));
        QCOMPARE(engine_->TournamentProbability(), 0.9);

        Selection()->setCurrentIndex(2);
        QCOMPARE(engine_->SelectionType, 2);
        QVERIFY(tournament->isReadOnly());
        QCOMPARE(tournament->text(), QString());
        // A read-only field that cannot be read is passed over silently.
        Leave(tournament);
        QCOMPARE(dialogs_.messages.size(), 1);

        Selection()->setCurrentIndex(1);
        QCOMPARE(tournament->text(), QStringLiteral("0.9"));
    }

    void fieldsStartFromTheEngineInTheUsersLocale() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        engine_->Generations = 250;
        engine_->SetPopulationSize(40);
        engine_->PreservedIndividuals = 3;
        engine_->SelectionType = 1;
        engine_->SetTournamentProbability(0.75);
        engine_->RegenerationPercent = 12.5;
        engine_->SizeReductionFactor = 0.00012;
        TPropiedades dialog(*engine_, dialogs_);
        dialog.IniciarValores();
        const auto text = [&](const char* name) {
            return dialog.findChild<QLineEdit*>(QLatin1String(name))->text();
        };
        QCOMPARE(text("NumGen"), QStringLiteral("250"));
        QCOMPARE(text("TamPob"), QStringLiteral("40"));
        QCOMPARE(text("NumElitismo"), QStringLiteral("3"));
        QCOMPARE(dialog.findChild<QComboBox*>()->currentIndex(), 1);
        QCOMPARE(text("ProbTornEdit"), QStringLiteral("0,75"));
        QCOMPARE(text("MutProb"), QStringLiteral("0,001"));
        QCOMPARE(text("SizeEdit"), QStringLiteral("0,00012"));
        QCOMPARE(text("PercRefreshEdit"), QStringLiteral("12,5"));
        QCOMPARE(text("RefreshPeriodEdit"), QStringLiteral("10"));

        QLineEdit* mutation = dialog.findChild<QLineEdit*>(QStringLiteral("MutProb"));
        mutation->setText(QStringLiteral("0,25"));
        Leave(mutation);
        QCOMPARE(engine_->MutationProbability(), 0.25);
        QVERIFY(dialogs_.messages.isEmpty());
    }

    void smallerPopulationLowersTheElite() {
        Retype(QStringLiteral("NumElitismo"), QStringLiteral("10"));
        Retype(QStringLiteral("TamPob"), QStringLiteral("20"));
        QCOMPARE(engine_->PreservedIndividuals, 10);
        Retype(QStringLiteral("TamPob"), QStringLiteral("6"));
        QCOMPARE(Field(QStringLiteral("NumElitismo"))->text(), QStringLiteral("6"));
        QCOMPARE(engine_->PreservedIndividuals, 6);
        QCOMPARE(dialog_->findChild<TUpDown*>(QStringLiteral("UpDownElit"))->Maximum(), 6);
    }

    void arrowsStoreAtOnce() {
        auto* population = dialog_->findChild<TUpDown*>(QStringLiteral("UpDownPob"));
        Field(QStringLiteral("TamPob"))->setText(QStringLiteral("1"));
        population->Step(-1);
        QCOMPARE(Field(QStringLiteral("TamPob"))->text(), QStringLiteral("0"));
        QCOMPARE(engine_->PopulationSize(), 2);
        QCOMPARE(engine_->PreservedIndividuals, 0);
        QCOMPARE(Field(QStringLiteral("NumElitismo"))->text(), QStringLiteral("0"));
        population->Step(-1);
        QCOMPARE(Field(QStringLiteral("TamPob"))->text(), QStringLiteral("0"));

        dialog_->findChild<TUpDown*>(QStringLiteral("UpDownGen"))->Step(1);
        QCOMPARE(Field(QStringLiteral("NumGen"))->text(), QStringLiteral("101"));
        QCOMPARE(engine_->Generations, 101);
        QVERIFY(dialogs_.messages.isEmpty());
    }

    void onlyOkTakesShowReport() {
        Document document("New1");
        const auto finishWith = [this](const char* button, bool check) {
            QTimer::singleShot(0, this, [=] {
                auto* shown = qobject_cast<TPropiedades*>(QApplication::activeModalWidget());
                QVERIFY(shown != nullptr);
                shown->findChild<QCheckBox*>()->setChecked(check);
                QLineEdit* mutation = shown->findChild<QLineEdit*>(QStringLiteral("MutProb"));
                mutation->setText(QStringLiteral("0.125"));
                Leave(mutation);
                QTest::mouseClick(shown->findChild<QWidget*>(QLatin1String(button)),
                                  Qt::LeftButton);
            });
        };
        finishWith("BitBtn1", true);
        TPropiedades::EditOptions(document, *engine_, dialogs_, nullptr);
        QVERIFY(!document.ShowReport());
        QCOMPARE(engine_->MutationProbability(), 0.125);

        finishWith("Arrancar", true);
        TPropiedades::EditOptions(document, *engine_, dialogs_, nullptr);
        QVERIFY(document.ShowReport());
    }

    void okTakesASampleTimeAndRefusesAnythingElse() {
        QLineEdit* sampleTime = Field(QStringLiteral("SampleTimeEdit"));
        auto* ok = dialog_->findChild<QWidget*>(QStringLiteral("Arrancar"));
        for (const QString& refused :
             {QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("fast")}) {
            sampleTime->setText(refused);
            QTest::mouseClick(ok, Qt::LeftButton);
            QCOMPARE(dialog_->result(), int(QDialog::Rejected));
        }
        QCOMPARE(dialogs_.messages.size(), 3);
        QCOMPARE(dialogs_.messages.last(),
                 QStringLiteral("The sample time must be a positive number of seconds, or empty "
                                "when it is not known."));
        sampleTime->clear();
        QCOMPARE(dialog_->SampleTime(), std::nullopt);
        dialog_->SetSampleTime(0.25);
        QCOMPARE(dialog_->SampleTime(), 0.25);
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    }

    void qualityOptionsAreCheckedAndWaitForOk() {
        Document document("New1");
        const auto finishWith = [this](const char* button) {
            QTimer::singleShot(0, this, [this, button] {
                auto* shown = qobject_cast<TPropiedades*>(QApplication::activeModalWidget());
                QVERIFY(shown != nullptr);
                const auto retype = [shown](const char* name, const char* text) {
                    auto* field = shown->findChild<QLineEdit*>(QLatin1String(name));
                    field->setText(QString::fromLatin1(text));
                    Leave(field);
                };
                retype("validation-percent", "95");
                retype("restarts", "2.5");
                QCOMPARE(
                    dialogs_.messages,
                    (QStringList{
                        QStringLiteral("A value from 0 to 90 must be introduced in this field"),
                        QStringLiteral(
                            "A whole number from 1 to 100 must be introduced in this field")}));
                QCOMPARE(shown->findChild<QLineEdit*>(QStringLiteral("restarts"))->text(),
                         QString());
                retype("validation-percent", "12.5");
                retype("restarts", "3");
                auto* thorough = shown->findChild<QCheckBox*>(QStringLiteral("thorough"));
                QVERIFY(!thorough->toolTip().isEmpty());
                thorough->setChecked(true);
                QTest::mouseClick(shown->findChild<QWidget*>(QLatin1String(button)),
                                  Qt::LeftButton);
            });
        };
        finishWith("BitBtn1");
        TPropiedades::EditOptions(document, *engine_, dialogs_, nullptr);
        QVERIFY(!document.Options().AnyOptIn());

        dialogs_.messages.clear();
        finishWith("Arrancar");
        TPropiedades::EditOptions(document, *engine_, dialogs_, nullptr);
        QCOMPARE(document.Options().ValidationPercent, 12.5);
        QCOMPARE(document.Options().Restarts, 3);
        QVERIFY(document.Options().Thorough);
        QVERIFY(!document.Options().RemoveOffsets);
    }

    void thoroughShowsWhatItSetsAndUntickingGivesBackWhatWasThere() {
        IdentificationOptions own;
        own.Restarts = 2;
        own.ValidationPercent = 20.0;
        dialog_->SetIdentificationOptions(own);
        auto* thorough = dialog_->findChild<QCheckBox*>(QStringLiteral("thorough"));
        auto* refine = dialog_->findChild<QCheckBox*>(QStringLiteral("refine"));
        auto* offsets = dialog_->findChild<QCheckBox*>(QStringLiteral("remove-offsets"));
        const auto shows = [&](bool refined, const char* restarts, bool editable) {
            QCOMPARE(refine->isChecked(), refined);
            QCOMPARE(offsets->isChecked(), refined);
            QCOMPARE(Field(QStringLiteral("restarts"))->text(), QString::fromLatin1(restarts));
            for (QWidget* control : {static_cast<QWidget*>(refine), static_cast<QWidget*>(offsets),
                                     static_cast<QWidget*>(Field(QStringLiteral("restarts")))}) {
                QCOMPARE(control->isEnabled(), editable);
            }
            QCOMPARE(Field(QStringLiteral("validation-percent"))->text(), QStringLiteral("20"));
        };
        thorough->setChecked(true);
        shows(true, "4", false);
        thorough->setChecked(false);
        shows(false, "2", true);
        QCOMPARE(dialog_->ChosenIdentificationOptions().Restarts, 2);
        QVERIFY(!dialog_->ChosenIdentificationOptions().Refine);

        // Options kept with Thorough show it as the dialog opens.
        own.Thorough = true;
        own.Restarts = 8;
        dialog_->SetIdentificationOptions(own);
        shows(true, "8", false);
    }

    void tabFollowsTheLayout() {
        dialog_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
        Field(QStringLiteral("TamPob"))->setFocus();
        QStringList visited;
        for (int i = 0; i < 18; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(visited.join(u' '),
                 QStringLiteral(
                     "NumGen OptimosCheckBox SampleTimeEdit RefreshPeriodEdit PercRefreshEdit "
                     "SeleccionComboBox ProbTornEdit MutProb NumElitismo SizeEdit "
                     "remove-offsets validation-percent refine restarts thorough "
                     "ValidationDataComboBox Arrancar BitBtn1"));
    }

    // A model is judged only on a document its inputs can drive, whose columns, when both
    // tables name them, mean the same; choosing one holds no rows of this one back.
    void validationDataListsDocumentsWithTheSameInputs() {
        Document own("own");
        Document unnamed("unnamed");
        Document wider("wider");
        Document named("named");
        Document renamed("renamed");
        own.PasteTable("1\t2\r\n3\t4\r\n");
        unnamed.PasteTable("5\t6\r\n7\t8\r\n");
        wider.PasteTable("1\t2\t3\r\n4\t5\t6\r\n");
        named.PasteTable("5\t6\r\n7\t8\r\n");
        named.Table().SetColumnNames({"valve"}, "level");
        renamed.PasteTable("5\t6\r\n7\t8\r\n");
        renamed.Table().SetColumnNames({"feed"}, "level");
        const std::vector<TPropiedades::OpenDocument> open = {
            {QStringLiteral("own"), &own},
            {QStringLiteral("unnamed"), &unnamed},
            {QStringLiteral("wider"), &wider},
            {QStringLiteral("named"), &named},
            {QStringLiteral("renamed"), &renamed}};
        auto* choice = dialog_->findChild<QComboBox*>(QStringLiteral("ValidationDataComboBox"));
        const auto listed = [choice] {
            QStringList items;
            for (int i = 0; i < choice->count(); ++i)
                items.append(choice->itemText(i));
            return items.join(u'|');
        };
        dialog_->SetValidationDocuments(own, open, &wider);
        QCOMPARE(listed(), QStringLiteral("(the last rows, as set above)|unnamed|named|renamed"));
        QCOMPARE(dialog_->ChosenValidationDocument(), nullptr);
        own.Table().SetColumnNames({"valve"}, "level");
        dialog_->SetValidationDocuments(own, open, &named);
        QCOMPARE(listed(), QStringLiteral("(the last rows, as set above)|unnamed|named"));
        QCOMPARE(dialog_->ChosenValidationDocument(), &named);

        QLineEdit* percent = Field(QStringLiteral("validation-percent"));
        QVERIFY(!percent->isEnabled());
        choice->setCurrentIndex(0);
        Retype(QStringLiteral("validation-percent"), QStringLiteral("20"));
        choice->setCurrentIndex(1);
        QCOMPARE(dialog_->ChosenValidationDocument(), &unnamed);
        QVERIFY(!percent->isEnabled());
        QCOMPARE(dialog_->ChosenIdentificationOptions().ValidationPercent, 0.0);
        choice->setCurrentIndex(0);
        QVERIFY(percent->isEnabled());
        QCOMPARE(dialog_->ChosenIdentificationOptions().ValidationPercent, 20.0);
    }

    void generationsFieldWarnsOfAReportPast100MB() {
        const auto* warning = dialog_->findChild<QLabel*>(QStringLiteral("ReportSizeLabel"));
        dialog_->SetInputCount(4);
        // 20,001 rows of 3,240 bytes: 65 MB; 40,001 rows: 130 MB, shown while typing.
        Field(QStringLiteral("NumGen"))->setText(QStringLiteral("20000"));
        QVERIFY(warning->isHidden());
        Field(QStringLiteral("NumGen"))->setText(QStringLiteral("40000"));
        QVERIFY(warning->isVisible());
        QCOMPARE(warning->text(), QStringLiteral("The report will take about 130 MB"));
        QVERIFY(warning->width() >= warning->sizeHint().width());
        Field(QStringLiteral("NumGen"))->setText(QStringLiteral("x"));
        QVERIFY(warning->isHidden());
        Field(QStringLiteral("NumGen"))->setText(QStringLiteral("40000"));
        dialog_->SetInputCount(1);
        QVERIFY(warning->isHidden());
    }

    void everyLabelShowsItsWholeText() {
        for (const QLabel* label : dialog_->findChildren<QLabel*>()) {
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        }
    }
};

} // namespace orvanel

QTEST_MAIN(orvanel::PropiedadesTest)
#include "PropiedadesTest.moc"
