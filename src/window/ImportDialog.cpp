#include "window/ImportDialog.h"

#include "document/table/DocumentError.h"
#include "model/NumberText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace orvanel {

namespace {

using Delimiter = DelimitedFormat::Delimiter;

// The delimiter box's entries, in its order.
const Delimiter Delimiters[] = {Delimiter::Tab, Delimiter::Comma, Delimiter::Semicolon,
                                Delimiter::Spaces};

QString RoleName(ImportDialog::Role role) {
    switch (role) {
    case ImportDialog::Role::Input:
        return QStringLiteral("Input");
    case ImportDialog::Role::Output:
        return QStringLiteral("Output");
    case ImportDialog::Role::Time:
        return QStringLiteral("Time");
    case ImportDialog::Role::Ignored:
        break;
    }
    return QStringLiteral("Ignored");
}

QString Joined(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& name : names)
        list.append(QString::fromStdString(name));
    return list.join(QStringLiteral(", "));
}

} // namespace

ImportDialog::ImportDialog(std::string text, const QString& title, QWidget* parent)
    : QDialog(parent), text_(std::move(text)) {
    setWindowTitle(QStringLiteral("Import %1").arg(title));
    Build(true);
    const DelimitedFormat detected = DelimitedFormat::Detect(text_);
    filling_ = true;
    delimiter_->setCurrentIndex(static_cast<int>(
        std::find(std::begin(Delimiters), std::end(Delimiters), detected.Separator) -
        std::begin(Delimiters)));
    decimal_->setCurrentIndex(detected.Decimal == ',' ? 1 : 0);
    header_->setChecked(detected.Header);
    filling_ = false;
    Reparse();
}

ImportDialog::ImportDialog(MatTable table, const QString& title, QWidget* parent)
    : QDialog(parent), mat_(std::move(table)) {
    setWindowTitle(QStringLiteral("Import %1").arg(title));
    Build(false);
    SetDefaultRoles();
    FillPreview();
}

void ImportDialog::Build(bool delimited) {
    auto* layout = new QVBoxLayout(this);
    auto* format = new QHBoxLayout;
    delimiter_ = new QComboBox(this);
    delimiter_->addItems({QStringLiteral("Tab"), QStringLiteral("Comma"),
                          QStringLiteral("Semicolon"), QStringLiteral("Spaces")});
    decimal_ = new QComboBox(this);
    decimal_->addItems({QStringLiteral("Point (.)"), QStringLiteral("Comma (,)")});
    header_ = new QCheckBox(QStringLiteral("First line holds the names"), this);
    auto* delimiterLabel = new QLabel(QStringLiteral("&Delimiter:"), this);
    delimiterLabel->setBuddy(delimiter_);
    auto* decimalLabel = new QLabel(QStringLiteral("D&ecimal mark:"), this);
    decimalLabel->setBuddy(decimal_);
    format->addWidget(delimiterLabel);
    format->addWidget(delimiter_);
    format->addSpacing(12);
    format->addWidget(decimalLabel);
    format->addWidget(decimal_);
    format->addSpacing(12);
    format->addWidget(header_);
    format->addStretch();
    layout->addLayout(format);
    for (QWidget* field : {static_cast<QWidget*>(delimiter_), static_cast<QWidget*>(decimal_),
                           static_cast<QWidget*>(header_)})
        field->setEnabled(delimited);

    preview_ = new QTableWidget(this);
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->verticalHeader()->setDefaultSectionSize(preview_->fontMetrics().height() + 8);
    layout->addWidget(preview_, 1);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { TryAccept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(delimiter_, &QComboBox::currentIndexChanged, this, [this] { Reparse(); });
    connect(decimal_, &QComboBox::currentIndexChanged, this, [this] { Reparse(); });
    connect(header_, &QCheckBox::toggled, this, [this] { Reparse(); });
    resize(760, 460);
}

DelimitedFormat ImportDialog::ChosenFormat() const {
    DelimitedFormat format;
    format.Separator = Delimiters[std::max(delimiter_->currentIndex(), 0)];
    format.Decimal = decimal_->currentIndex() == 1 ? ',' : '.';
    format.Header = header_->isChecked();
    return format;
}

void ImportDialog::Reparse() {
    if (filling_)
        return;
    const int before = Columns();
    table_.reset();
    error_.clear();
    try {
        const DelimitedFormat format = ChosenFormat();
        if (format.Decimal == ',' && format.Separator == Delimiter::Comma)
            throw DocumentError("A decimal comma needs another delimiter than the comma");
        table_ = DelimitedTable::Parse(text_, format);
    } catch (const DocumentError& error) {
        error_ = QString::fromStdString(error.what());
    }
    if (Columns() != before || roles_.size() != static_cast<std::size_t>(Columns()))
        SetDefaultRoles();
    FillPreview();
}

int ImportDialog::Columns() const {
    if (table_)
        return table_->Columns();
    return mat_ ? mat_->Columns() : 0;
}

const std::vector<std::string>& ImportDialog::Names() const {
    return table_ ? table_->Names() : mat_->Names();
}

QString ImportDialog::Cell(std::size_t row, int column) const {
    if (table_)
        return QString::fromStdString(std::string(table_->Cell(row, column)));
    try {
        return QString::fromStdString(FormatGeneral(mat_->Numbers(column)[row], 15));
    } catch (const DocumentError&) {
        return {};
    }
}

void ImportDialog::SetDefaultRoles() {
    roles_.assign(static_cast<std::size_t>(Columns()), Role::Ignored);
    if (roles_.empty())
        return;
    try {
        const ImportedData data =
            table_ ? DataImport::SuggestRoles(*table_) : DataImport::FromTable(*mat_, {});
        for (const int c : data.InputColumns)
            roles_[static_cast<std::size_t>(c)] = Role::Input;
        roles_[static_cast<std::size_t>(data.OutputColumn)] = Role::Output;
        if (data.TimeColumn)
            roles_[static_cast<std::size_t>(*data.TimeColumn)] = Role::Time;
    } catch (const DocumentError&) {
        // What the file suggests cannot be read: the last column is the output, the rest inputs.
        std::fill(roles_.begin(), roles_.end(), Role::Input);
        roles_.back() = Role::Output;
    }
}

void ImportDialog::FillPreview() {
    const int columns = Columns();
    const std::size_t rows = table_ ? table_->Rows() : mat_ ? mat_->Rows() : 0;
    const int shown = static_cast<int>(std::min<std::size_t>(rows, PreviewRows));
    preview_->clear();
    preview_->setColumnCount(columns);
    preview_->setRowCount(columns > 0 ? shown + 1 : 0);
    QStringList labels;
    for (int c = 0; c < columns; ++c)
        labels.append(QString::fromStdString(Names()[static_cast<std::size_t>(c)]));
    preview_->setHorizontalHeaderLabels(labels);
    QStringList rowLabels{QStringLiteral("Role")};
    for (int r = 1; r <= shown; ++r)
        rowLabels.append(QString::number(r));
    preview_->setVerticalHeaderLabels(rowLabels);
    for (int c = 0; c < columns; ++c) {
        auto* role = new QComboBox(preview_);
        for (const Role each : {Role::Input, Role::Output, Role::Time, Role::Ignored})
            role->addItem(RoleName(each));
        role->setCurrentIndex(static_cast<int>(roles_[static_cast<std::size_t>(c)]));
        connect(role, &QComboBox::currentIndexChanged, this, [this, c](int index) {
            roles_[static_cast<std::size_t>(c)] = static_cast<Role>(index);
            ShowStatus();
        });
        preview_->setCellWidget(0, c, role);
        for (int r = 0; r < shown; ++r)
            preview_->setItem(r + 1, c, new QTableWidgetItem(Cell(static_cast<std::size_t>(r), c)));
    }
    preview_->resizeColumnsToContents();
    ShowStatus();
}

ImportDialog::Role ImportDialog::RoleOf(int column) const {
    return roles_.at(static_cast<std::size_t>(column));
}

void ImportDialog::SetRole(int column, Role role) {
    if (auto* box = qobject_cast<QComboBox*>(preview_->cellWidget(0, column)))
        box->setCurrentIndex(static_cast<int>(role)); // updates roles_
}

ImportChoice ImportDialog::Choice() const {
    ImportChoice choice;
    choice.Time = "none";
    // Columns by number, so that a header name that reads as a number cannot mislead.
    for (std::size_t c = 0; c < roles_.size(); ++c) {
        const std::string number = std::to_string(c + 1);
        switch (roles_[c]) {
        case Role::Input:
            choice.Inputs.push_back(number);
            break;
        case Role::Output:
            if (!choice.Output.empty())
                throw ImportError("Only one column can be the output");
            choice.Output = number;
            break;
        case Role::Time:
            if (choice.Time != "none")
                throw ImportError("Only one column can be the time");
            choice.Time = number;
            break;
        case Role::Ignored:
            break;
        }
    }
    if (choice.Output.empty())
        throw ImportError("Choose the output column");
    if (choice.Inputs.empty())
        throw ImportError("Choose at least one input column");
    return choice;
}

QString ImportDialog::StatusText() const {
    return Status().Text;
}

// OK is offered only for choices that read.
void ImportDialog::ShowStatus() {
    const ReadStatus status = Status();
    status_->setText(status.Text);
    if (ok_ != nullptr)
        ok_->setEnabled(status.Reads);
}

ImportDialog::ReadStatus ImportDialog::Status() const {
    if (!error_.isEmpty())
        return {error_, false};
    try {
        const ImportChoice choice = Choice();
        const ImportedData data =
            table_ ? DataImport::FromTable(*table_, choice) : DataImport::FromTable(*mat_, choice);
        QString text = QStringLiteral("%1 rows. Inputs: %2. Output: %3.")
                           .arg(data.Samples.Samples())
                           .arg(Joined(data.InputNames), QString::fromStdString(data.OutputName));
        if (data.SampleTime)
            text += QStringLiteral(" Sample time: %1 s.")
                        .arg(QString::fromStdString(FormatGeneral(*data.SampleTime, 6)));
        return {text, true};
    } catch (const DocumentError& error) {
        return {QString::fromStdString(error.what()), false};
    }
}

bool ImportDialog::TryAccept() {
    if (!error_.isEmpty()) {
        status_->setText(error_);
        return false;
    }
    try {
        const ImportChoice choice = Choice();
        data_ =
            table_ ? DataImport::FromTable(*table_, choice) : DataImport::FromTable(*mat_, choice);
    } catch (const DocumentError& error) {
        status_->setText(QString::fromStdString(error.what()));
        return false;
    }
    accept();
    return true;
}

std::optional<DelimitedSource> ImportDialog::Source() const {
    if (!table_)
        return std::nullopt;
    return DelimitedSource::Of(*table_, data_);
}

} // namespace orvanel
