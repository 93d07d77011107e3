#include "app/Propiedades.h"

#include "app/UpDown.h"
#include "document/project/Document.h"
#include "engine/search/Genetico.h"
#include "engine/search/RunParameters.h"
#include "model/NumberText.h"
#include "window/LocaleText.h"
#include "window/UserDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace orvanel {

namespace {

constexpr int ArrowsMaximum = 30000;
constexpr int TournamentIndex = 1;
constexpr int NumberDigits = 15;
// Report sizes measured on long runs (3,000 to 200,000 generations) on the example and real data
// sets: a row's fixed columns, what each input adds to it, and the heading with the optimum.
constexpr double ReportRowBytes = 40;
constexpr double ReportBytesPerInput = 800;
constexpr double ReportHeadingBytes = 600;
const QColor WarningColour(0xb0, 0x00, 0x00);

std::optional<int> ReadInteger(const QString& text) {
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || !integer.match(text).hasMatch()) {
        return std::nullopt;
    }
    return value;
}

std::function<std::optional<double>(const QString&)> IntegerAtLeast(int minimum) {
    return [minimum](const QString& text) -> std::optional<double> {
        const std::optional<int> value = ReadInteger(text);
        if (!value || *value < minimum) {
            return std::nullopt;
        }
        return *value;
    };
}

// The option's flag without its dashes, as the control's name.
QString ControlName(const IdentificationOption& option) {
    return QString::fromLatin1(option.Flag.data(), static_cast<qsizetype>(option.Flag.size()))
        .mid(2);
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Whether the option's field holds the share of rows kept back for validation.
bool StoresValidationPercent(const IdentificationOption& option) {
    IdentificationOptions probe;
    option.Store(probe, 1.0);
    return probe.ValidationPercent != 0.0;
}

// Whether Thorough sets the option: whether it reads otherwise from options that differ from
// the defaults by Thorough alone once that is spelt out. Thorough's own switch is not one.
bool SetByThorough(const IdentificationOption& option) {
    IdentificationOptions probe;
    option.Store(probe, 1.0);
    if (probe.Thorough) {
        return false;
    }
    IdentificationOptions thorough;
    thorough.Thorough = true;
    return option.Read(thorough.Resolved()) != option.Read(IdentificationOptions{});
}

bool NamesColumns(const DataTable& table) {
    if (!table.OutputName().empty())
        return true;
    for (int input = 1; input <= table.InputCount(); ++input) {
        if (!table.InputName(input).empty())
            return true;
    }
    return false;
}

// A model of `own`'s table can be simulated on `other`'s and its columns mean the same.
bool Matches(const DataTable& own, const DataTable& other) {
    if (own.InputCount() != other.InputCount())
        return false;
    if (!NamesColumns(own) || !NamesColumns(other))
        return true;
    for (int input = 1; input <= own.InputCount(); ++input) {
        if (own.InputName(input) != other.InputName(input))
            return false;
    }
    return own.OutputName() == other.OutputName();
}

const QString LastRowsText = QStringLiteral("(the last rows, as set above)");

} // namespace

TPropiedades::TPropiedades(TGenetico& engine, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), engine_(engine), dialogs_(dialogs),
      decimalSeparator_(LocaleDecimalSeparator()) {
    setWindowTitle(QStringLiteral("Genetic Algorithm Properties"));

    tamPob_ = AddField(QStringLiteral("TamPob"));
    numGen_ = AddField(QStringLiteral("NumGen"));
    numElitismo_ = AddField(QStringLiteral("NumElitismo"));
    mutProb_ = AddField(QStringLiteral("MutProb"));
    probTornEdit_ = AddField(QStringLiteral("ProbTornEdit"));
    refreshPeriodEdit_ = AddField(QStringLiteral("RefreshPeriodEdit"));
    percRefreshEdit_ = AddField(QStringLiteral("PercRefreshEdit"));
    sizeEdit_ = AddField(QStringLiteral("SizeEdit"));
    for (QLineEdit* field : {tamPob_, numGen_, numElitismo_}) {
        field->setText(QStringLiteral("0"));
    }
    upDownPob_ = new TUpDown(*tamPob_, ArrowsMaximum, this);
    upDownGen_ = new TUpDown(*numGen_, ArrowsMaximum, this);
    upDownElit_ = new TUpDown(*numElitismo_, ArrowsMaximum, this);
    upDownPob_->setObjectName(QStringLiteral("UpDownPob"));
    upDownGen_->setObjectName(QStringLiteral("UpDownGen"));
    upDownElit_->setObjectName(QStringLiteral("UpDownElit"));

    seleccionComboBox_ = new QComboBox(this);
    seleccionComboBox_->setObjectName(QStringLiteral("SeleccionComboBox"));
    seleccionComboBox_->addItems({QStringLiteral("Sigma Scaling"),
                                  QStringLiteral("Tournament Selection"),
                                  QStringLiteral("Rank Selection")});
    optimosCheckBox_ = new QCheckBox(QStringLiteral("Show Report"), this);
    optimosCheckBox_->setObjectName(QStringLiteral("OptimosCheckBox"));
    sampleTimeEdit_ = new QLineEdit(this);
    sampleTimeEdit_->setObjectName(QStringLiteral("SampleTimeEdit"));
    sampleTimeEdit_->setPlaceholderText(QStringLiteral("not given"));
    reportSizeLabel_ = new QLabel(this);
    reportSizeLabel_->setObjectName(QStringLiteral("ReportSizeLabel"));
    QPalette warning = reportSizeLabel_->palette();
    warning.setColor(QPalette::WindowText, WarningColour);
    reportSizeLabel_->setPalette(warning);
    // The warning's line stays when it is hidden, so that the dialog keeps its size.
    QSizePolicy keepPlace = reportSizeLabel_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    reportSizeLabel_->setSizePolicy(keepPlace);
    reportSizeLabel_->hide();

    BuildLayout();
    SetIdentificationOptions({});
    // The design size, grown where the user's font needs more room for the labels' whole texts.
    setFixedSize(QSize(486, 340).expandedTo(minimumSizeHint()));

    connect(upDownPob_, &TUpDown::Clicked, this, &TPropiedades::UpDownPobClick);
    connect(upDownGen_, &TUpDown::Clicked, this, &TPropiedades::UpDownGenClick);
    connect(upDownElit_, &TUpDown::Clicked, this, &TPropiedades::UpDownElitClick);
    connect(sizeEdit_, &QLineEdit::textChanged, this, &TPropiedades::SizeEditChange);
    connect(numGen_, &QLineEdit::textChanged, this, &TPropiedades::ShowReportSize);
    connect(seleccionComboBox_, &QComboBox::currentIndexChanged, this,
            &TPropiedades::SeleccionComboBoxChange);
}

QLineEdit* TPropiedades::AddField(const QString& name) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->installEventFilter(this);
    return field;
}

void TPropiedades::BuildLayout() {
    const auto withArrows = [this](QLineEdit* field, TUpDown* arrows) {
        auto* box = new QHBoxLayout;
        box->setSpacing(0);
        box->addWidget(field);
        box->addWidget(arrows);
        return box;
    };
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Population Size:"), this), 0, 0);
    top->addLayout(withArrows(tamPob_, upDownPob_), 0, 1);
    top->addWidget(new QLabel(QStringLiteral("Number of Generations:"), this), 1, 0);
    top->addLayout(withArrows(numGen_, upDownGen_), 1, 1);
    top->addWidget(optimosCheckBox_, 0, 3, 1, 2, Qt::AlignRight);
    top->addWidget(new QLabel(QStringLiteral("Sample Time (s):"), this), 1, 3);
    top->addWidget(sampleTimeEdit_, 1, 4);
    top->addWidget(reportSizeLabel_, 2, 1, 1, 4);
    top->setColumnStretch(2, 1);

    auto* refresh = new QGroupBox(QStringLiteral("Population Refresh"), this);
    auto* refreshGrid = new QGridLayout(refresh);
    refreshGrid->addWidget(new QLabel(QStringLiteral("Period:"), refresh), 0, 0);
    refreshGrid->addWidget(refreshPeriodEdit_, 0, 1);
    refreshGrid->addWidget(new QLabel(QStringLiteral("Generations"), refresh), 0, 2);
    refreshGrid->addWidget(new QLabel(QStringLiteral("% Population Refreshed:"), refresh), 1, 0);
    refreshGrid->addWidget(percRefreshEdit_, 1, 1);

    auto* selection = new QGroupBox(QStringLiteral("Selection"), this);
    auto* selectionGrid = new QGridLayout(selection);
    selectionGrid->addWidget(seleccionComboBox_, 0, 0, 1, 2);
    selectionGrid->addWidget(new QLabel(QStringLiteral("Probability"), selection), 1, 0);
    selectionGrid->addWidget(probTornEdit_, 1, 1);

    auto* mutation = new QGroupBox(QStringLiteral("Mutation"), this);
    auto* mutationRow = new QHBoxLayout(mutation);
    mutationRow->addWidget(new QLabel(QStringLiteral("Probability"), mutation));
    mutationRow->addWidget(mutProb_);

    auto* elitism = new QGroupBox(QStringLiteral("Elitism"), this);
    auto* elitismRow = new QHBoxLayout(elitism);
    elitismRow->addWidget(new QLabel(QStringLiteral("Preserved Individuals"), elitism));
    elitismRow->addLayout(withArrows(numElitismo_, upDownElit_));

    auto* size = new QGroupBox(QStringLiteral("Size Reduction"), this);
    auto* sizeRow = new QHBoxLayout(size);
    sizeRow->addWidget(new QLabel(QStringLiteral("Size Reduction Factor:"), size));
    sizeRow->addWidget(sizeEdit_);
    sizeRow->addStretch();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Arrancar"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TPropiedades::OkClick);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BitBtn1"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    QWidget* quality = BuildQualityGroup();

    auto* groups = new QGridLayout;
    groups->addWidget(refresh, 0, 0);
    groups->addWidget(selection, 0, 1);
    groups->addWidget(mutation, 1, 0);
    groups->addWidget(elitism, 1, 1);
    groups->addWidget(size, 2, 0, 1, 2);
    groups->addWidget(quality, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(groups);
    layout->addLayout(buttons);

    // Tab goes through the controls as they are laid out, not in the order they were made.
    QList<QWidget*> tabOrder = {tamPob_,
                                numGen_,
                                optimosCheckBox_,
                                sampleTimeEdit_,
                                refreshPeriodEdit_,
                                percRefreshEdit_,
                                seleccionComboBox_,
                                probTornEdit_,
                                mutProb_,
                                numElitismo_,
                                sizeEdit_};
    for (const OptionControl& control : optionControls_) {
        tabOrder.append(control.Box != nullptr ? static_cast<QWidget*>(control.Box)
                                               : control.Field);
    }
    tabOrder.append({validationComboBox_, ok, cancel});
    for (qsizetype i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
}

// Two options to a row, in the order of the command's help.
QWidget* TPropiedades::BuildQualityGroup() {
    auto* group = new QGroupBox(QStringLiteral("Model Quality"), this);
    auto* grid = new QGridLayout(group);
    int cell = 0;
    for (const IdentificationOption* option : IdentificationOption::All()) {
        const int row = cell / 2;
        const int column = cell % 2 * 2;
        ++cell;
        OptionControl control{option, nullptr, nullptr};
        const QString tip = Text(option->ToolTip);
        if (option->Type == IdentificationOption::Kind::Switch) {
            control.Box = new QCheckBox(Text(option->Label), group);
            control.Box->setObjectName(ControlName(*option));
            control.Box->setToolTip(tip);
            connect(control.Box, &QCheckBox::toggled, this, [this, option](bool on) {
                option->Store(options_, on ? 1.0 : 0.0);
                ShowThoroughSettings();
            });
            grid->addWidget(control.Box, row, column, 1, 2);
        } else {
            auto* label = new QLabel(Text(option->Label) + u':', group);
            label->setToolTip(tip);
            control.Field = AddField(ControlName(*option));
            control.Field->setParent(group);
            control.Field->setToolTip(tip);
            grid->addWidget(label, row, column);
            grid->addWidget(control.Field, row, column + 1);
            if (StoresValidationPercent(*option))
                validationPercent_ = control.Field;
        }
        optionControls_.push_back(control);
    }
    const int validationRow = (cell + 1) / 2;
    auto* label = new QLabel(QStringLiteral("Validation data:"), group);
    validationComboBox_ = new QComboBox(group);
    validationComboBox_->setObjectName(QStringLiteral("ValidationDataComboBox"));
    validationComboBox_->addItem(LastRowsText);
    // Long captions must not widen the dialog.
    validationComboBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    validationComboBox_->setMinimumContentsLength(LastRowsText.size());
    const QString tip = QStringLiteral(
        "Judge the model on another open document with the same inputs instead of on the last "
        "rows of this one.");
    label->setToolTip(tip);
    validationComboBox_->setToolTip(tip);
    grid->addWidget(label, validationRow, 0);
    grid->addWidget(validationComboBox_, validationRow, 1, 1, 3);
    connect(validationComboBox_, &QComboBox::currentIndexChanged, this,
            &TPropiedades::ValidationDocumentChange);
    return group;
}

void TPropiedades::SetValidationDocuments(const Document& own,
                                          const std::vector<OpenDocument>& open,
                                          const Document* chosen) {
    const QSignalBlocker quiet(validationComboBox_);
    validationComboBox_->clear();
    validationComboBox_->addItem(LastRowsText);
    validationDocuments_.assign(1, nullptr);
    int chosenIndex = 0;
    for (const OpenDocument& document : open) {
        if (document.Data == &own || !Matches(own.Table(), document.Data->Table()))
            continue;
        if (document.Data == chosen)
            chosenIndex = validationComboBox_->count();
        validationComboBox_->addItem(document.Caption);
        validationDocuments_.push_back(document.Data);
    }
    validationComboBox_->setCurrentIndex(chosenIndex);
    ValidationDocumentChange(chosenIndex);
}

const Document* TPropiedades::ChosenValidationDocument() const {
    return validationDocuments_[static_cast<std::size_t>(validationComboBox_->currentIndex())];
}

// Held-out rows and another document would be two validation sets: the percent waits, kept,
// while a document is chosen.
void TPropiedades::ValidationDocumentChange(int index) {
    const bool chosen = validationDocuments_[static_cast<std::size_t>(index)] != nullptr;
    if (validationPercent_ == nullptr || chosen != validationPercent_->isEnabled())
        return;
    if (chosen) {
        keptValidationPercent_ = options_.ValidationPercent;
        options_.ValidationPercent = 0.0;
    } else {
        options_.ValidationPercent = keptValidationPercent_;
    }
    validationPercent_->setText(NumberText(options_.ValidationPercent));
    validationPercent_->setEnabled(!chosen);
}

void TPropiedades::SetIdentificationOptions(const IdentificationOptions& options) {
    options_ = options;
    if (validationPercent_ != nullptr && !validationPercent_->isEnabled()) {
        keptValidationPercent_ = std::exchange(options_.ValidationPercent, 0.0);
    }
    for (const OptionControl& control : optionControls_) {
        ShowValue(control, control.Option->Read(options_));
    }
    ShowThoroughSettings();
}

void TPropiedades::ShowValue(const OptionControl& control, double value) {
    if (control.Box != nullptr) {
        const QSignalBlocker quiet(control.Box);
        control.Box->setChecked(value != 0.0);
    } else {
        control.Field->setText(NumberText(value));
    }
}

// Ticked, Thorough shows what it sets in the options it overrides, which cannot be changed
// then; unticked, they show again what the user had, which options_ keeps all along.
void TPropiedades::ShowThoroughSettings() {
    const IdentificationOptions shown = options_.Resolved();
    for (const OptionControl& control : optionControls_) {
        if (!SetByThorough(*control.Option)) {
            continue;
        }
        ShowValue(control, control.Option->Read(shown));
        QWidget* widget =
            control.Box != nullptr ? static_cast<QWidget*>(control.Box) : control.Field;
        widget->setEnabled(!options_.Thorough);
    }
}

void TPropiedades::OptionFieldExit(const OptionControl& control) {
    const IdentificationOption& option = *control.Option;
    const bool integer = option.Type == IdentificationOption::Kind::Integer;
    const Reader read = integer ? IntegerAtLeast(static_cast<int>(option.Minimum))
                                : DecimalWithin(option.Minimum, option.Maximum);
    const std::optional<double> value = read(control.Field->text());
    if (value && *value <= option.Maximum) {
        option.Store(options_, *value);
        return;
    }
    dialogs_.ShowMessage(
        this, QStringLiteral("%1 from %2 to %3 must be introduced in this field")
                  .arg(integer ? QStringLiteral("A whole number") : QStringLiteral("A value"),
                       NumberText(option.Minimum), NumberText(option.Maximum)));
    control.Field->clear();
    control.Field->setFocus();
}

void TPropiedades::EditOptions(Document& document, TGenetico& engine, UserDialogs& dialogs,
                               QWidget* owner, bool running, ValidationChoice* validation) {
    TPropiedades dialog(engine, dialogs, owner);
    dialog.SetShowReportChecked(document.ShowReport());
    dialog.SetIdentificationOptions(document.Options());
    dialog.SetInputCount(document.Table().InputCount());
    dialog.IniciarValores();
    if (running) {
        dialog.LockRunShape();
    }
    dialog.SetSampleTime(document.SampleTime());
    if (validation != nullptr) {
        dialog.SetValidationDocuments(document, validation->Open, validation->Chosen);
    }
    if (dialog.exec() == QDialog::Accepted) {
        document.SetShowReport(dialog.ShowReportChecked());
        document.SetSampleTime(dialog.SampleTime());
        document.Options() = dialog.ChosenIdentificationOptions();
        if (validation != nullptr) {
            validation->Chosen = dialog.ChosenValidationDocument();
        }
    }
}

std::optional<double> TPropiedades::SampleTime() const {
    return DecimalWithin(std::numeric_limits<double>::min(),
                         std::numeric_limits<double>::max())(sampleTimeEdit_->text());
}

void TPropiedades::SetSampleTime(std::optional<double> seconds) {
    sampleTimeEdit_->setText(seconds ? NumberText(*seconds) : QString());
}

void TPropiedades::OkClick() {
    // An empty field leaves the sample time unset; any other text must read as one.
    if (!sampleTimeEdit_->text().isEmpty() && !SampleTime()) {
        dialogs_.ShowMessage(this, QStringLiteral("The sample time must be a positive number of "
                                                  "seconds, or empty when it is not known."));
        sampleTimeEdit_->setFocus();
        return;
    }
    accept();
}

void TPropiedades::SetInputCount(int inputs) {
    inputCount_ = std::max(inputs, 1);
    ShowReportSize();
}

double TPropiedades::ExpectedReportBytes(int inputs, int generations) {
    // The generations counted from 0 each write a row.
    const double rows = std::max(generations, 0) + 1.0;
    return ReportHeadingBytes + rows * (ReportRowBytes + ReportBytesPerInput * inputs);
}

void TPropiedades::ShowReportSize() {
    const std::optional<int> generations = ReadInteger(numGen_->text());
    const double bytes = generations ? ExpectedReportBytes(inputCount_, *generations) : 0.0;
    if (bytes <= ReportWarningBytes) {
        reportSizeLabel_->hide();
        return;
    }
    const QLocale locale;
    reportSizeLabel_->setText(QStringLiteral("The report will take about %1 MB")
                                  .arg(locale.toString(std::round(bytes / 1e6), 'f', 0)));
    reportSizeLabel_->setToolTip(
        QStringLiteral("Each generation adds a line of about %1 bytes for %2 to the report "
                       "written next to the data file.")
            .arg(locale.toString(ReportRowBytes + ReportBytesPerInput * inputCount_, 'f', 0),
                 inputCount_ == 1 ? QStringLiteral("one input")
                                  : QStringLiteral("%1 inputs").arg(inputCount_)));
    reportSizeLabel_->show();
}

void TPropiedades::LockRunShape() {
    for (QWidget* control : std::initializer_list<QWidget*>{tamPob_, numGen_, numElitismo_,
                                                            upDownPob_, upDownGen_, upDownElit_}) {
        control->setEnabled(false);
    }
}

bool TPropiedades::ShowReportChecked() const {
    return optimosCheckBox_->isChecked();
}

void TPropiedades::SetShowReportChecked(bool checked) {
    optimosCheckBox_->setChecked(checked);
}

QString TPropiedades::NumberText(double value) const {
    return QString::fromStdString(FormatGeneral(value, NumberDigits, decimalSeparator_));
}

void TPropiedades::IniciarValores() {
    upDownGen_->SetPosition(engine_.Generations);
    upDownPob_->SetPosition(engine_.PopulationSize());
    upDownElit_->SetPosition(engine_.PreservedIndividuals);
    upDownElit_->SetMaximum(engine_.PopulationSize());
    {
        const QSignalBlocker quiet(seleccionComboBox_);
        seleccionComboBox_->setCurrentIndex(engine_.SelectionType);
    }
    SeleccionComboBoxChange(seleccionComboBox_->currentIndex());
    mutProb_->setText(NumberText(engine_.MutationProbability()));
    sizeEdit_->setText(NumberText(engine_.SizeReductionFactor));
    percRefreshEdit_->setText(NumberText(engine_.RegenerationPercent));
    refreshPeriodEdit_->setText(NumberText(engine_.RegenerationPeriod));
}

TPropiedades::Reader TPropiedades::DecimalWithin(double minimum, double maximum) const {
    return [minimum, maximum, separator = decimalSeparator_](const QString& text) {
        const std::optional<double> value = ParseNumber(text.toStdString(), separator);
        return value && *value >= minimum && *value <= maximum ? value : std::nullopt;
    };
}

// The written message of the field, except for a size factor above its largest value, which
// that message ("bigger than zero") would not explain.
QString TPropiedades::DialogMessageFor(const RunParameter& parameter, const QString& text) const {
    const std::optional<double> value = ParseNumber(text.toStdString(), decimalSeparator_);
    if (&parameter == &RunParameters::SizeReductionFactor && value && *value > parameter.Maximum)
        return QStringLiteral("A value not above %1 must be introduced in this field")
            .arg(NumberText(parameter.Maximum));
    return QString::fromUtf8(parameter.DialogMessage.data(),
                             static_cast<qsizetype>(parameter.DialogMessage.size()));
}

void TPropiedades::Validate(QLineEdit* field, const RunParameter& parameter,
                            const std::function<void(double)>& store, bool silent) {
    const Reader read = parameter.Type == RunParameter::Kind::Integer
                            ? IntegerAtLeast(parameter.DialogMinimum)
                            : DecimalWithin(parameter.Minimum, parameter.Maximum);
    if (const std::optional<double> value = read(field->text())) {
        store(*value);
        return;
    }
    const QString message = DialogMessageFor(parameter, field->text());
    if (silent) {
        return;
    }
    dialogs_.ShowMessage(this, message);
    {
        // Emptying the size reduction field must not report it a second time.
        const QSignalBlocker quiet(field);
        field->clear();
    }
    field->setFocus();
}

void TPropiedades::StorePopulationSize(int size) {
    engine_.SetPopulationSize(size);
    // The elitism rule: no more preserved individuals than the population holds.
    upDownElit_->SetMaximum(size);
    if (upDownElit_->Position() > size) {
        upDownElit_->SetPosition(size);
        engine_.PreservedIndividuals = size;
    }
}

void TPropiedades::TamPobExit() {
    Validate(tamPob_, RunParameters::PopulationSize,
             [this](double value) { StorePopulationSize(static_cast<int>(value)); });
}

void TPropiedades::NumGenExit() {
    Validate(numGen_, RunParameters::Generations,
             [this](double value) { engine_.Generations = static_cast<int>(value); });
}

void TPropiedades::NumElitismoExit() {
    Validate(numElitismo_, RunParameters::PreservedIndividuals,
             [this](double value) { engine_.PreservedIndividuals = static_cast<int>(value); });
}

void TPropiedades::MutProbExit() {
    Validate(mutProb_, RunParameters::MutationProbability,
             [this](double value) { engine_.SetMutationProbability(value); });
}

void TPropiedades::ProbTornEditExit() {
    Validate(
        probTornEdit_, RunParameters::TournamentProbability,
        [this](double value) { engine_.SetTournamentProbability(value); },
        probTornEdit_->isReadOnly());
}

void TPropiedades::RefreshPeriodEditExit() {
    Validate(refreshPeriodEdit_, RunParameters::RegenerationPeriod,
             [this](double value) { engine_.RegenerationPeriod = static_cast<int>(value); });
}

void TPropiedades::PercRefreshEditExit() {
    Validate(percRefreshEdit_, RunParameters::RegenerationPercent,
             [this](double value) { engine_.RegenerationPercent = value; });
}

void TPropiedades::SizeEditChange() {
    Validate(sizeEdit_, RunParameters::SizeReductionFactor,
             [this](double value) { engine_.SizeReductionFactor = value; });
}

void TPropiedades::UpDownPobClick() {
    StorePopulationSize(upDownPob_->Position());
}

void TPropiedades::UpDownGenClick() {
    engine_.Generations = upDownGen_->Position();
}

void TPropiedades::UpDownElitClick() {
    engine_.PreservedIndividuals = upDownElit_->Position();
}

void TPropiedades::SeleccionComboBoxChange(int index) {
    engine_.SelectionType = index;
    const bool tournament = index == TournamentIndex;
    probTornEdit_->setReadOnly(!tournament);
    QPalette colours = palette();
    if (!tournament) {
        colours.setColor(QPalette::Base, colours.color(QPalette::Window));
    }
    probTornEdit_->setPalette(colours);
    probTornEdit_->setText(tournament ? NumberText(engine_.TournamentProbability()) : QString());
}

bool TPropiedades::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::FocusOut) {
        return QDialog::eventFilter(watched, event);
    }
    // Leaving the field for another control; not the whole dialog losing the focus.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
        return false;
    }
    const std::initializer_list<std::pair<QLineEdit*, void (TPropiedades::*)()>> handlers = {
        {tamPob_, &TPropiedades::TamPobExit},
        {numGen_, &TPropiedades::NumGenExit},
        {numElitismo_, &TPropiedades::NumElitismoExit},
        {mutProb_, &TPropiedades::MutProbExit},
        {probTornEdit_, &TPropiedades::ProbTornEditExit},
        {refreshPeriodEdit_, &TPropiedades::RefreshPeriodEditExit},
        {percRefreshEdit_, &TPropiedades::PercRefreshEditExit},
    };
    for (const auto& [field, handler] : handlers) {
        if (watched == field) {
            (this->*handler)();
        }
    }
    for (const OptionControl& control : optionControls_) {
        if (watched == control.Field) {
            OptionFieldExit(control);
        }
    }
    return false;
}

} // namespace orvanel
