// The dialog "Genetic Algorithm Properties": edits one document's engine in place. Each field
// is checked when it is left (the size reduction field on every change) and its value goes
// into the engine at once; only "Show Report" and the model quality options wait for OK.
#pragma once

#include "document/run/IdentificationOptions.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace orvanel {

class Document;
struct RunParameter;
class TGenetico;
class TUpDown;
class UserDialogs;

class TPropiedades : public QDialog {
    Q_OBJECT

public:
    // A dialog over `engine` that reports bad entries through `dialogs`; both must outlive it.
    TPropiedades(TGenetico& engine, UserDialogs& dialogs, QWidget* parent = nullptr);

    // An open document whose table a run may judge its model on, named by its caption.
    struct OpenDocument {
        QString Caption;
        const Document* Data = nullptr;
    };
    // The documents the "Validation data" choice may offer and the one chosen (null: the last
    // rows); OK replaces Chosen.
    struct ValidationChoice {
        std::vector<OpenDocument> Open;
        const Document* Chosen = nullptr;
    };

    // The document's Options command: shows the dialog modally over the document's engine and,
    // when it ends with OK, takes "Show Report", the model quality options and the validation
    // data (when `validation` is given) into the document. While the engine runs
    // (`running`), the population size, generations and elitism cannot be changed.
    static void EditOptions(Document& document, TGenetico& engine, UserDialogs& dialogs,
                            QWidget* owner, bool running = false,
                            ValidationChoice* validation = nullptr);

    // Disables the fields that shape a run in progress: population size, generations, elitism.
    void LockRunShape();

    // The document's inputs, which the report's size depends on; the generations field warns
    // when that size passes ReportWarningBytes.
    void SetInputCount(int inputs);
    static constexpr double ReportWarningBytes = 100e6;
    // The expected size of a run's report in bytes: its heading and one row per generation,
    // which holds each input's chromosome and coefficient texts. Both grow as a run goes on;
    // the figures per row are the mean of long runs measured on real data sets.
    static double ExpectedReportBytes(int inputs, int generations);

    // Fills every control from the engine.
    void IniciarValores();

    bool ShowReportChecked() const;
    void SetShowReportChecked(bool checked);
    // The "Sample Time (s)" field: none when empty or not a positive number.
    std::optional<double> SampleTime() const;
    void SetSampleTime(std::optional<double> seconds);
    // OK: closes the dialog unless the sample time field holds text that is no sample time.
    void OkClick();

    // The "Model quality" group: one control per IdentificationOption, checked like the
    // engine's fields.
    void SetIdentificationOptions(const IdentificationOptions& options);
    const IdentificationOptions& ChosenIdentificationOptions() const { return options_; }

    // The "Validation data" choice: "(the last rows, as set above)", then each of `open` but
    // `own` whose table has as many inputs as `own`'s and, when both tables name their columns,
    // the same names. `chosen` is selected when listed, else the last rows. While a document is
    // chosen the validation percent field is disabled and the options hold out no rows.
    void SetValidationDocuments(const Document& own, const std::vector<OpenDocument>& open,
                                const Document* chosen);
    // The chosen document; null for the last rows.
    const Document* ChosenValidationDocument() const;

    // Field handlers: validate the field's text and store it, or show the field's message,
    // empty it and put the focus back.
    void TamPobExit();
    void NumGenExit();
    void NumElitismoExit();
    void MutProbExit();
    void ProbTornEditExit();
    void RefreshPeriodEditExit();
    void PercRefreshEditExit();
    void SizeEditChange();
    void UpDownPobClick();
    void UpDownGenClick();
    void UpDownElitClick();
    void SeleccionComboBoxChange(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Reader = std::function<std::optional<double>(const QString&)>;

    // One control of the model quality group: a check box for a switch, a field otherwise.
    struct OptionControl {
        const IdentificationOption* Option;
        QCheckBox* Box;
        QLineEdit* Field;
    };

    QLineEdit* AddField(const QString& name);
    void BuildLayout();
    QWidget* BuildQualityGroup();
    void OptionFieldExit(const OptionControl& control);
    void ShowValue(const OptionControl& control, double value);
    void ShowThoroughSettings();
    void ValidationDocumentChange(int index);
    // Reads `field` by the dialog's rule for `parameter`; stores an accepted value through
    // `store`, otherwise shows the parameter's message (unless silent), empties the field and
    // focuses it.
    void Validate(QLineEdit* field, const RunParameter& parameter,
                  const std::function<void(double)>& store, bool silent = false);
    void StorePopulationSize(int size);
    QString NumberText(double value) const;
    // Reads a decimal number in the user's locale, accepted within minimum..maximum.
    Reader DecimalWithin(double minimum, double maximum) const;
    QString DialogMessageFor(const RunParameter& parameter, const QString& text) const;
    void ShowReportSize();

    TGenetico& engine_;
    UserDialogs& dialogs_;
    char decimalSeparator_;
    QLineEdit* tamPob_;
    QLineEdit* numGen_;
    QLineEdit* numElitismo_;
    QLineEdit* mutProb_;
    QLineEdit* probTornEdit_;
    QLineEdit* refreshPeriodEdit_;
    QLineEdit* percRefreshEdit_;
    QLineEdit* sizeEdit_;
    TUpDown* upDownPob_;
    TUpDown* upDownGen_;
    TUpDown* upDownElit_;
    QComboBox* seleccionComboBox_;
    QCheckBox* optimosCheckBox_;
    QLineEdit* sampleTimeEdit_;
    QLabel* reportSizeLabel_;
    int inputCount_ = 1;
    IdentificationOptions options_;
    std::vector<OptionControl> optionControls_;
    // The validation percent's field, which a chosen validation document disables.
    QLineEdit* validationPercent_ = nullptr;
    QComboBox* validationComboBox_;
    // The documents of validationComboBox_'s items, null for the last rows.
    std::vector<const Document*> validationDocuments_{nullptr};
    // The percent typed before a document was chosen, given back when the last rows are.
    double keptValidationPercent_ = 0.0;
};

} // namespace orvanel
