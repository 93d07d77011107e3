#include "app/ModelsPanel.h"

#include "document/project/RunHistory.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

namespace orvanel {

namespace {

enum Column { NameColumn, FitColumn, TimeColumn };

} // namespace

ModelsPanel::ModelsPanel(QWidget* parent)
    : QWidget(parent), list_(new QTreeWidget(this)),
      rename_(new QPushButton(QStringLiteral("Rename"), this)),
      remove_(new QPushButton(QStringLiteral("Remove"), this)),
      compare_(new QPushButton(QStringLiteral("Compare on\u2026"), this)) {
    setObjectName(QStringLiteral("ModelsPanel"));
    list_->setObjectName(QStringLiteral("ModelsList"));
    list_->setHeaderLabels(
        {QStringLiteral("Models"), QStringLiteral("Fit"), QStringLiteral("Kept")});
    list_->setRootIsDecorated(false);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setToolTip(QStringLiteral("Click a model to show it; tick it to draw its output on "
                                     "the chart; double-click its name to rename it"));
    list_->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    list_->header()->setStretchLastSection(false);
    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!filling_ && item != nullptr) {
            emit Chosen(list_->indexOfTopLevelItem(item));
        }
    });
    connect(list_, &QTreeWidget::itemChanged, this, &ModelsPanel::ItemChanged);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { list_->editItem(item, NameColumn); });
    connect(rename_, &QPushButton::clicked, this, [this] {
        if (QTreeWidgetItem* item = list_->currentItem()) {
            list_->editItem(item, NameColumn);
        }
    });
    connect(remove_, &QPushButton::clicked, this, [this] {
        if (ChosenRow() >= 0) {
            emit Removed(ChosenRow());
        }
    });
    connect(compare_, &QPushButton::clicked, this, [this] {
        if (ChosenRow() >= 0) {
            emit CompareAsked(ChosenRow());
        }
    });

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(rename_);
    buttons->addWidget(remove_);
    buttons->addWidget(compare_);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
}

void ModelsPanel::Show(const RunHistory& history, char decimalSeparator) {
    filling_ = true;
    list_->clear();
    for (const KeptModel& model : history.Models()) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(NameColumn, QString::fromStdString(model.Name));
        item->setText(FitColumn, QString::fromStdString(model.FitLabel(decimalSeparator))
                                     .section(QStringLiteral("= "), 1));
        item->setText(TimeColumn, QString::fromStdString(model.Time).replace(u'T', u' ') +
                                      (model.Stopped ? QStringLiteral(" (stopped)") : QString()));
        item->setToolTip(NameColumn, QString::fromStdString(model.Origin));
        item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
        item->setCheckState(NameColumn, model.Overlaid ? Qt::Checked : Qt::Unchecked);
        item->setData(NameColumn, Qt::UserRole, model.Overlaid);
    }
    if (const std::optional<std::size_t> chosen = history.Chosen()) {
        list_->setCurrentItem(list_->topLevelItem(static_cast<int>(*chosen)));
    }
    for (int column : {FitColumn, TimeColumn}) {
        list_->resizeColumnToContents(column);
    }
    for (QPushButton* button : {rename_, remove_, compare_}) {
        button->setEnabled(!history.Empty());
    }
    filling_ = false;
}

int ModelsPanel::ChosenRow() const {
    QTreeWidgetItem* item = list_->currentItem();
    return item != nullptr ? list_->indexOfTopLevelItem(item) : -1;
}

// The tree reports a new name and a new check alike: the panel tells them apart by what it
// last showed.
void ModelsPanel::ItemChanged(QTreeWidgetItem* item, int column) {
    if (filling_ || column != NameColumn) {
        return;
    }
    const int row = list_->indexOfTopLevelItem(item);
    const bool overlaid = item->checkState(NameColumn) == Qt::Checked;
    if (overlaid != item->data(NameColumn, Qt::UserRole).toBool()) {
        item->setData(NameColumn, Qt::UserRole, overlaid);
        emit Overlaid(row, overlaid);
        return;
    }
    emit Renamed(row, item->text(NameColumn));
}

} // namespace orvanel
