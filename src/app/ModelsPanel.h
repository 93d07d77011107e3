// The list of a document's kept models under the output chart: choose, overlay, rename, remove.
#pragma once

#include <QWidget>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvanel {

class RunHistory;

// One row per model: its name (edited in place), its fit and when it was kept; the check box
// overlays its output on the chart. The panel only reports what the user asks for: the
// document's history changes and the panel is shown it again.
class ModelsPanel : public QWidget {
    Q_OBJECT

public:
    explicit ModelsPanel(QWidget* parent = nullptr);

    // Lists the history's models, the chosen one selected; signals nothing.
    void Show(const RunHistory& history, char decimalSeparator);
    QTreeWidget& List() const { return *list_; }
    // The chosen row, -1 for none.
    int ChosenRow() const;

signals:
    void Chosen(int row);
    void Overlaid(int row, bool overlaid);
    void Renamed(int row, const QString& name);
    void Removed(int row);
    void CompareAsked(int row);

private:
    void ItemChanged(QTreeWidgetItem* item, int column);

    QTreeWidget* list_;
    QPushButton* rename_;
    QPushButton* remove_;
    QPushButton* compare_;
    bool filling_ = false;
};

} // namespace orvanel
