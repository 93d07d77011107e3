// The import dialog: how a delimited or MATLAB file is read, with a preview of its first rows.
#pragma once

#include "document/formats/DataImport.h"
#include "document/formats/DelimitedSource.h"
#include "document/formats/DelimitedTable.h"
#include "document/formats/MatTable.h"

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace orvanel {

// Edits the reading of a file (delimiter, decimal mark, header, each column's role) and shows
// the first rows as the same reader splits them, so that the preview cannot differ from what is
// loaded. OK reads the data; a refusal stays in the dialog with the reader's message.
class ImportDialog : public QDialog {
    Q_OBJECT

public:
    enum class Role { Input, Output, Time, Ignored };
    // The rows the preview shows.
    static constexpr int PreviewRows = 20;

    // A delimited text, its format detected from the first lines.
    ImportDialog(std::string text, const QString& title, QWidget* parent = nullptr);
    // A MATLAB file's variables as columns.
    ImportDialog(MatTable table, const QString& title, QWidget* parent = nullptr);

    // Row 0 holds the roles, the rows below the cells as read; the headers name the columns.
    QTableWidget* Preview() const { return preview_; }
    QComboBox* DelimiterBox() const { return delimiter_; }
    QComboBox* DecimalBox() const { return decimal_; }
    QCheckBox* HeaderBox() const { return header_; }
    // The reader's message for the current choices, or what it will load.
    QString StatusText() const;
    Role RoleOf(int column) const;
    void SetRole(int column, Role role);

    // Reads the data with the current choices and accepts the dialog; false, with the refusal
    // shown, when it cannot.
    bool TryAccept();
    // The data read by TryAccept.
    const ImportedData& Data() const { return data_; }
    // The layout to write back, for a delimited text.
    std::optional<DelimitedSource> Source() const;

private:
    struct ReadStatus {
        QString Text;
        bool Reads = false;
    };

    void Build(bool delimited);
    ReadStatus Status() const;
    void ShowStatus();
    void Reparse();
    void FillPreview();
    void SetDefaultRoles();
    ImportChoice Choice() const;
    DelimitedFormat ChosenFormat() const;
    int Columns() const;
    QString Cell(std::size_t row, int column) const;
    const std::vector<std::string>& Names() const;

    std::string text_;
    std::optional<DelimitedTable> table_;
    std::optional<MatTable> mat_;
    std::vector<Role> roles_;
    ImportedData data_;
    QString error_;
    QComboBox* delimiter_ = nullptr;
    QComboBox* decimal_ = nullptr;
    QCheckBox* header_ = nullptr;
    QTableWidget* preview_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* ok_ = nullptr;
    bool filling_ = false;
};

} // namespace orvanel
