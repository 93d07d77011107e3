// Edit > Undo and Redo over every edit of a document window's table.

#include "window/TableEdits.h"

#include "support/FakeDocumentHost.h"
#include "support/WindowLeakCheck.h"
#include "window/CountSpinEdit.h"
#include "window/MDIMainChild.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace orvanel {

class TableEditsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    std::unique_ptr<FakeDocumentHost> host_;
    std::unique_ptr<TMDIMainChild> window_;

    DataTable& Table() { return window_->Doc().Table(); }
    QTableView* Grid() { return window_->findChild<QTableView*>(QStringLiteral("DataStringGrid")); }
    QAction* EditAction(int index) { return window_->MergedMenus().constFirst()->actions()[index]; }
    QAction* Undo() { return EditAction(0); }
    QAction* Redo() { return EditAction(1); }

    void Select(int top, int left, int bottom, int right) {
        Grid()->setCurrentIndex(Grid()->model()->index(top - 1, left - 1));
        Grid()->selectionModel()->select(
            QItemSelection(Grid()->model()->index(top - 1, left - 1),
                           Grid()->model()->index(bottom - 1, right - 1)),
            QItemSelectionModel::ClearAndSelect);
    }
    void Retype(const char* field, const QString& text) {
        auto* spin = window_->findChild<TCountSpinEdit*>(QLatin1String(field));
        spin->selectAll();
        QTest::keyClicks(spin, text);
    }
    static void SetClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

    // Counts, headers and every stored cell the counts could show again: the visible rows and
    // columns and those just beyond them.
    QStringList State() {
        const DataTable& table = Table();
        QStringList lines{QStringLiteral("%1 x %2, computed %3")
                              .arg(table.InputCount())
                              .arg(table.DataPointCount())
                              .arg(table.HasComputedColumn())};
        for (int row = 0; row <= table.DataPointCount() + 2; ++row) {
            QStringList cells;
            for (int column = 1; column <= table.InputCount() + 3; ++column) {
                cells.append(
                    QString::fromStdString(row == 0 ? table.CellText(0, column)
                                                    : std::string(table.DataCell(row, column))));
            }
            lines.append(cells.join(u'|'));
        }
        return lines;
    }

    // A saved document of two inputs and three rows, with a fourth row and a third input hidden.
    void OpenSavedDocument() {
        window_.reset();
        window_ = std::make_unique<TMDIMainChild>(*host_, QStringLiteral("New1"));
        window_->show();
        SetClipboard(
            QStringLiteral("1\t2\t3\t-1\r\n4\t5\t6\t-2\r\n7\t8\t9\t-3\r\n10\t11\t12\t-4\r\n"));
        window_->PasteTable();
        Retype("InputsSpinEdit", QStringLiteral("2"));
        Retype("DataPointsSpinEdit", QStringLiteral("3"));
        window_->SaveDocument(folder_.filePath(QStringLiteral("saved.txt")));
    }

private slots:
    void init() { host_ = std::make_unique<FakeDocumentHost>(); }

    void cleanup() {
        window_.reset();
        host_.reset();
        VerifyNoTopLevelWindows();
    }

    void undoAndRedoRestoreTheTableOfEveryEdit() {
        struct Case {
            QString undoText;
            std::function<void()> edit;
        };
        const QList<Case> cases{
            {QStringLiteral("&Undo Typing"),
             [this] {
                 // Typing twice into one cell is one step.
                 for (const QString& typed : {QStringLiteral("2.5"), QStringLiteral("2.75")}) {
                     Select(1, 1, 1, 1);
                     Grid()->setFocus();
                     QTest::keyClick(Grid(), typed.front().toLatin1());
                     QWidget* editor = Grid()->indexWidget(Grid()->currentIndex());
                     QTest::keyClicks(editor, typed.mid(1));
                     QTest::keyClick(editor, Qt::Key_Return);
                     QTRY_COMPARE(QString::fromStdString(Table().CellText(1, 1)), typed);
                 }
             }},
            {QStringLiteral("&Undo Paste"),
             [this] {
                 Select(2, 2, 2, 2);
                 SetClipboard(QStringLiteral("7.5\tignored"));
                 window_->PasteBitBtnClick();
             }},
            {QStringLiteral("&Undo Clear"),
             [this] {
                 Select(1, 2, 3, 3);
                 Grid()->setFocus();
                 QTest::keyClick(Grid(), Qt::Key_Delete);
             }},
            {QStringLiteral("&Undo Paste"),
             [this] {
                 SetClipboard(QStringLiteral("5\t6\r\n"));
                 window_->PasteTable();
             }},
            {QStringLiteral("&Undo Paste"),
             [this] {
                 SetClipboard(QStringLiteral("a;b;c;d\n1;2;3;4\n"));
                 window_->PasteTable();
             }},
            {QStringLiteral("&Undo Add Row"),
             [this] {
                 Select(2, 1, 2, 1);
                 window_->AddBitBtnClick();
             }},
            {QStringLiteral("&Undo Delete Rows"),
             [this] {
                 Select(1, 1, 2, 1);
                 window_->DelBitBtnClick();
             }},
            {QStringLiteral("&Undo Delete Rows"),
             [this] {
                 Select(1, 1, 3, 1);
                 window_->DelBitBtnClick();
             }},
            {QStringLiteral("&Undo Inputs Change"),
             [this] { Retype("InputsSpinEdit", QStringLiteral("4")); }},
            {QStringLiteral("&Undo Data Points Change"),
             [this] { Retype("DataPointsSpinEdit", QStringLiteral("12")); }},
        };
        for (const Case& step : cases) {
            OpenSavedDocument();
            const QStringList saved = State();
            step.edit();
            const QStringList edited = State();
            QVERIFY2(edited != saved, qPrintable(step.undoText));
            QCOMPARE(Undo()->text(), step.undoText);
            QVERIFY(window_->Doc().Modified());

            Undo()->trigger();
            QCOMPARE(State(), saved);
            QVERIFY2(!window_->Doc().Modified(), qPrintable(step.undoText));
            QCOMPARE(
                Redo()->text(),
                QString(step.undoText).replace(QStringLiteral("Undo"), QStringLiteral("Redo")));
            Redo()->trigger();
            QCOMPARE(State(), edited);
            QVERIFY(window_->Doc().Modified());
        }
    }

    void undoIsOfferedOnlyWhenThereIsAStepAndTheSavedStateIsUnmodified() {
        window_ = std::make_unique<TMDIMainChild>(*host_, QStringLiteral("New1"));
        QVERIFY(!Undo()->isEnabled());
        QCOMPARE(Undo()->text(), QStringLiteral("&Undo"));

        window_->AddBitBtnClick();
        window_->SaveDocument(folder_.filePath(QStringLiteral("saved.txt")));
        window_->AddBitBtnClick();
        Undo()->trigger();
        QVERIFY(!window_->Doc().Modified());
        Undo()->trigger();
        QVERIFY(window_->Doc().Modified());
        QVERIFY(!Undo()->isEnabled());
        QVERIFY(Redo()->isEnabled());
        Redo()->trigger();
        QVERIFY(!window_->Doc().Modified());
        // An edit in place of the saved step: no undo or redo leads back to the saved state.
        Undo()->trigger();
        window_->AddBitBtnClick();
        QVERIFY(!Redo()->isEnabled());
        Undo()->trigger();
        QVERIFY(window_->Doc().Modified());
    }
};

} // namespace orvanel

QTEST_MAIN(orvanel::TableEditsTest)
#include "TableEditsTest.moc"
