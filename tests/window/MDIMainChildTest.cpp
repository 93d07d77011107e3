// Drives a document window: the count fields, the row buttons, the key filter, the clipboard
// commands and printing.

#include "window/MDIMainChild.h"

#include "model/NumberText.h"
#include "support/FakeDocumentHost.h"
#include "support/WindowLeakCheck.h"
#include "window/CountSpinEdit.h"
#include "window/DocumentHost.h"
#include "window/ImportDialog.h"
#include "window/LocaleText.h"
#include "window/TextPrinter.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFile>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

namespace orvanel {

namespace {

using FakeHost = FakeDocumentHost;

// Records the text of every cell a view hands the style to draw.
class CellTextRecorder : public QProxyStyle {
public:
    mutable QStringList texts;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option);
            item != nullptr && element == CE_ItemViewItem) {
            texts.append(item->text);
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

QString Text(const DataTable& table, int row, int column) {
    return QString::fromStdString(table.CellText(row, column));
}

} // namespace

class MDIMainChildTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeHost> host_;
    std::unique_ptr<TMDIMainChild> window_;

    DataTable& Table() { return window_->Doc().Table(); }
    QTableView* Grid() { return window_->findChild<QTableView*>(QStringLiteral("DataStringGrid")); }
    TCountSpinEdit* Field(const char* name) {
        return window_->findChild<TCountSpinEdit*>(QLatin1String(name));
    }
    static QString FieldText(TCountSpinEdit* field) {
        return field->findChild<QLineEdit*>()->text();
    }
    static void Retype(TCountSpinEdit* field, const QString& text) {
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    static void Leave(QWidget* field) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(field, &out);
    }
    QStringList Headers() {
        QStringList headers;
        for (int column = 0; column < Table().ColumnCount(); ++column) {
            headers.append(Text(Table(), 0, column));
        }
        return headers;
    }
    void SetCurrent(int row, int column) {
        Grid()->setCurrentIndex(Grid()->model()->index(row - 1, column - 1));
    }
    void Paste(const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        window_->PasteTable();
    }

private slots:
    void init() {
        host_ = std::make_unique<FakeHost>();
        window_ = std::make_unique<TMDIMainChild>(*host_, QStringLiteral("New1"));
        window_->show();
    }

    void cleanup() {
        window_.reset();
        host_.reset();
        VerifyNoTopLevelWindows();
    }

    void anImportedFileLoadsWhatItsPreviewShowsAndSavesBackEveryColumn() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plant.csv"));
        const QByteArray original = "time;valve;note;feed;temperature\n"
                                    "2026-01-15T08:00:00Z;1,5;a;2,25;10,125\n"
                                    "2026-01-15T08:00:02Z;-2,5;\"b;c\";3,25;11,5\n"
                                    "2026-01-15T08:00:04Z;3,5;d;4,25;12,75\n";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(original);
        file.close();
        bool refusedText = false;
        QStringList status;
        QList<QStringList> previewRows;
        QList<bool> offered;
        host_->dialogs.importAnswer = [&](ImportDialog& dialog) {
            const QPushButton* ok =
                dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            status.append(dialog.StatusText());
            offered.append(ok->isEnabled());
            // "note" is taken as an input at first, and its text is no number.
            refusedText = !dialog.TryAccept();
            dialog.SetRole(2, ImportDialog::Role::Ignored);
            status.append(dialog.StatusText());
            offered.append(ok->isEnabled());
            for (int row = 1; row <= 3; ++row) {
                QStringList cells;
                for (const int column : {1, 3, 4})
                    cells.append(dialog.Preview()->item(row, column)->text());
                previewRows.append(cells);
            }
        };
        QVERIFY(window_->OpenFile(path));
        QVERIFY(refusedText);
        QCOMPARE(offered, (QList<bool>{false, true}));
        QCOMPARE(status.last(), QStringLiteral("3 rows. Inputs: valve, feed. Output: "
                                               "temperature. Sample time: 2 s."));
        QCOMPARE(Headers(), (QStringList{QString(), QStringLiteral("valve"), QStringLiteral("feed"),
                                         QStringLiteral("temperature")}));
        QCOMPARE(window_->Doc().SampleTime(), std::optional<double>(2.0));
        QVERIFY(!window_->Doc().Modified());
        for (int row = 1; row <= 3; ++row) {
            for (int column = 1; column <= 3; ++column) {
                const QString shown = previewRows[row - 1][column - 1];
                QCOMPARE(ParseNumber(Text(Table(), row, column).toStdString(),
                                     LocaleDecimalSeparator()),
                         ParseNumber(shown.toStdString(), ','));
            }
        }
        // Save writes the file back as it was read, the time and the ignored column included.
        QVERIFY(Table().SetCellText(2, 1, "-7"));
        window_->SaveDocument(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(original).replace(";-2,5;", ";-7;"));
    }

    void aPastedBlockWithAHeaderGoesThroughTheImport() {
        Paste(QStringLiteral("valve,feed,temperature\n1.5,2,3\n4,5,6.25\n2,8,9\n"));
        QCOMPARE(host_->dialogs.importQuestions, 1);
        QCOMPARE(Headers(), (QStringList{QString(), QStringLiteral("valve"), QStringLiteral("feed"),
                                         QStringLiteral("temperature")}));
        QCOMPARE(Table().DataPointCount(), 3);
        QCOMPARE(ParseNumber(Text(Table(), 2, 3).toStdString(), LocaleDecimalSeparator()),
                 std::optional<double>(6.25));
        QVERIFY(window_->Doc().Modified());
        // Cancelled, the table stays as it was.
        host_->dialogs.cancelImport = true;
        Paste(QStringLiteral("a;b\n1;2\n"));
        QCOMPARE(Table().InputCount(), 2);
    }

    void newDocumentShowsOneEmptyRow() {
        QCOMPARE(window_->windowTitle(), QStringLiteral("New1"));
        QCOMPARE(Headers(),
                 (QStringList{QString(), QStringLiteral("Input 1"), QStringLiteral("Output")}));
        QCOMPARE(Grid()->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
        QCOMPARE(Grid()->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("Output"));
        QCOMPARE(FieldText(Field("InputsSpinEdit")), QStringLiteral("1"));
        QCOMPARE(FieldText(Field("DataPointsSpinEdit")), QStringLiteral("1"));
        QCOMPARE(Grid()->columnWidth(0), 150);
        QCOMPARE(Grid()->rowHeight(0), 18);
        QVERIFY(window_->close());
        QCOMPARE(host_->dialogs.saveChangesQuestions, 0);
    }

    void inputsFieldRelabelsColumnsWithoutMovingData() {
        Table().SetCellText(1, 1, "1");
        Table().SetCellText(1, 2, "2");
        Table().ClearModified();
        Retype(Field("InputsSpinEdit"), QStringLiteral("3"));
        QCOMPARE(Headers(),
                 (QStringList{QString(), QStringLiteral("Input 1"), QStringLiteral("Input 2"),
                              QStringLiteral("Input 3"), QStringLiteral("Output")}));
        QCOMPARE(Grid()->model()->data(Grid()->model()->index(0, 1)).toString(),
                 QStringLiteral("2"));
        QCOMPARE(Text(Table(), 1, 4), QString());
        QVERIFY(window_->Doc().Modified());
    }

    void typedCountFollowsTheTableUntilTheFieldIsLeft() {
        TCountSpinEdit* inputs = Field("InputsSpinEdit");
        Retype(inputs, QStringLiteral("60"));
        QCOMPARE(Table().ColumnCount(), 62);
        QCOMPARE(Grid()->model()->columnCount(), 61);
        Leave(inputs);
        QCOMPARE(FieldText(inputs), QStringLiteral("50"));
        QCOMPARE(Table().ColumnCount(), 52);

        // Saving while the field still holds a typed count beyond its range corrects it first, so
        // the file stays one the program can open again.
        Retype(inputs, QStringLiteral("60"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("wide.txt"));
        window_->SaveDocument(path);
        QCOMPARE(FieldText(inputs), QStringLiteral("50"));
        QCOMPARE(Table().ColumnCount(), 52);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readLine().count('\t'), 50);

        // A text that is no number changes nothing and gives the former value back.
        Retype(inputs, QStringLiteral("-"));
        QCOMPARE(Table().ColumnCount(), 52);
        Leave(inputs);
        QCOMPARE(FieldText(inputs), QStringLiteral("50"));
    }

    void retypedDataPointsKeepHiddenRows() {
        QString text;
        for (int row = 1; row <= 100; ++row) {
            text += QStringLiteral("%1\t%2\r\n").arg(row).arg(-row);
        }
        Paste(text);
        QCOMPARE(FieldText(Field("DataPointsSpinEdit")), QStringLiteral("100"));
        Retype(Field("DataPointsSpinEdit"), QStringLiteral("150"));
        QCOMPARE(Table().DataPointCount(), 150);
        QCOMPARE(Text(Table(), 100, 1), QStringLiteral("100"));
        QCOMPARE(Text(Table(), 100, 2), QStringLiteral("-100"));
        QCOMPARE(Text(Table(), 16, 1), QStringLiteral("16"));
        QCOMPARE(Text(Table(), 101, 1), QString());
        QCOMPARE(Text(Table(), 150, 0), QStringLiteral("150"));
    }

    void addAndDeleteActAtTheCurrentRow() {
        Paste(QStringLiteral("r1\t1\r\nr2\t2\r\nr3\t3\r\nr4\t4\r\nr5\t5\r\n"));
        SetCurrent(3, 2);
        window_->AddBitBtnClick();
        QCOMPARE(FieldText(Field("DataPointsSpinEdit")), QStringLiteral("6"));
        QStringList column;
        for (int row = 1; row <= 6; ++row) {
            column.append(Text(Table(), row, 1) + QLatin1Char('/') + Text(Table(), row, 0));
        }
        QCOMPARE(column, (QStringList{QStringLiteral("r1/1"), QStringLiteral("r2/2"),
                                      QStringLiteral("/3"), QStringLiteral("r3/4"),
                                      QStringLiteral("r4/5"), QStringLiteral("r5/6")}));
        QCOMPARE(window_->CurrentRow(), 3);
        QCOMPARE(window_->CurrentColumn(), 2);

        SetCurrent(6, 1);
        window_->DelBitBtnClick();
        QCOMPARE(FieldText(Field("DataPointsSpinEdit")), QStringLiteral("5"));
        QCOMPARE(Text(Table(), 5, 1), QStringLiteral("r4"));
        QCOMPARE(Table().DataPointCount(), 5);
    }

    void delDeletesTheSelectedRowsAndDeleteEmptiesTheSelectedCells() {
        Paste(QStringLiteral("r1\t1\r\nr2\t2\r\nr3\t3\r\nr4\t4\r\nr5\t5\r\n"));
        const auto select = [this](int top, int left, int bottom, int right) {
            SetCurrent(top, left);
            Grid()->selectionModel()->select(
                QItemSelection(Grid()->model()->index(top - 1, left - 1),
                               Grid()->model()->index(bottom - 1, right - 1)),
                QItemSelectionModel::ClearAndSelect);
        };
        const auto column = [this](int number) {
            QStringList texts;
            for (int row = 1; row <= Table().DataPointCount(); ++row) {
                texts.append(Text(Table(), row, number));
            }
            return texts.join(u' ');
        };
        select(2, 2, 3, 2);
        host_->dialogs.deleteRowsAnswers = {false};
        window_->DelBitBtnClick();
        QCOMPARE(column(1), QStringLiteral("r1 r2 r3 r4 r5"));
        window_->DelBitBtnClick();
        QCOMPARE(host_->dialogs.deleteRowsQuestions, (QList<int>{2, 2}));
        QCOMPARE(column(1), QStringLiteral("r1 r4 r5"));
        QCOMPARE(FieldText(Field("DataPointsSpinEdit")), QStringLiteral("3"));

        // A single row goes without a question.
        select(3, 1, 3, 2);
        window_->DelBitBtnClick();
        QCOMPARE(column(1), QStringLiteral("r1 r4"));
        QCOMPARE(host_->dialogs.deleteRowsQuestions.size(), 2);

        Table().ClearModified();
        select(1, 2, 2, 2);
        Grid()->setFocus();
        QTest::keyClick(Grid(), Qt::Key_Delete);
        QCOMPARE(column(1), QStringLiteral("r1 r4"));
        QCOMPARE(column(2), QStringLiteral(" "));
        QCOMPARE(Grid()->model()->index(1, 1).data().toString(), QString());
        QCOMPARE(Table().DataPointCount(), 2);
        QVERIFY(window_->Doc().Modified());
    }

    void keyFilterLetsOnlyTheCharactersOfANumberIntoCells() {
        SetCurrent(1, 1);
        Grid()->setFocus();
        QTest::keyClick(Grid(), Qt::Key_X);
        QVERIFY(!window_->Doc().Modified());
        QVERIFY(Grid()->findChild<QLineEdit*>() == nullptr);

        QTest::keyClick(Grid(), Qt::Key_1);
        QVERIFY(window_->Doc().Modified());
        auto* editor = Grid()->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        QTest::keyClicks(editor, QStringLiteral(".5e3x"));
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, QStringLiteral("+E,-"));
        QCOMPARE(editor->text(), QStringLiteral("1.5e3+E,-"));
        // Characters of a number that make none: the cell keeps its value.
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(Text(Table(), 1, 1), QString());
    }

    void arrowKeysCommitTheCellAndMoveToTheNext() {
        QVERIFY(Table().ReshapeRows("2"));
        Table().SetCellText(1, 2, "42.9808");
        SetCurrent(1, 1);
        Grid()->setFocus();
        // Typing into the grid opens the current cell's editor with the first character.
        const auto type = [this](const QString& text, Qt::Key then) {
            QTest::keyClicks(Grid(), text.left(1));
            QWidget* editor = Grid()->indexWidget(Grid()->currentIndex());
            QVERIFY(editor != nullptr);
            QTest::keyClicks(editor, text.mid(1));
            QTest::keyClick(editor, then);
        };
        type(QStringLiteral("1.5"), Qt::Key_Right);
        type(QStringLiteral("2.5"), Qt::Key_Down);
        type(QStringLiteral("3.5"), Qt::Key_Left);
        QCOMPARE(Text(Table(), 1, 1), QStringLiteral("1.5"));
        QCOMPARE(Text(Table(), 1, 2), QStringLiteral("2.5"));
        QCOMPARE(Text(Table(), 2, 2), QStringLiteral("3.5"));
        QCOMPARE(Grid()->currentIndex(), Grid()->model()->index(1, 0));

        // A malformed number is refused when the cell is committed; the old value stays.
        SetCurrent(1, 2);
        type(QStringLiteral("1.52.5"), Qt::Key_Up);
        QCOMPARE(Text(Table(), 1, 2), QStringLiteral("2.5"));
    }

    void aNarrowCellCutsTheMantissaNotTheExponentAndShowsAllOnHover() {
        const QString values[] = {QStringLiteral("7.2356750062005115e-01"),
                                  QStringLiteral("3.2008238893611104e+02")};
        Paste(values[0] + u'\t' + values[1] + QStringLiteral("\r\n"));
        CellTextRecorder recorder;
        Grid()->setStyle(&recorder);
        Grid()->viewport()->grab();
        Grid()->setStyle(QApplication::style());
        for (int column = 0; column < 2; ++column) {
            const QString& value = values[column];
            const QString shown = recorder.texts.value(column);
            QVERIFY2(shown.startsWith(value.left(4)) && shown.endsWith(value.right(4)) &&
                         shown.size() < value.size(),
                     qPrintable(shown));
            QVERIFY(Grid()->fontMetrics().horizontalAdvance(shown) < Grid()->columnWidth(column));
        }
        // The edit still starts from the whole text.
        QCOMPARE(Grid()->model()->index(0, 0).data(Qt::EditRole).toString(), values[0]);

        const QPoint cell = Grid()->visualRect(Grid()->model()->index(0, 1)).center();
        QHelpEvent hover(QEvent::ToolTip, cell, Grid()->viewport()->mapToGlobal(cell));
        QCoreApplication::sendEvent(Grid()->viewport(), &hover);
        QCOMPARE(QToolTip::text(), values[1]);
        QToolTip::hideText();
    }

    void tablePasteAndCopyUseTheClipboard() {
        Paste(QStringLiteral("1\t2\r\n3\t4\r\n5\t6\r\n"));
        QCOMPARE(FieldText(Field("InputsSpinEdit")), QStringLiteral("1"));
        QCOMPARE(FieldText(Field("DataPointsSpinEdit")), QStringLiteral("3"));
        QCOMPARE(Text(Table(), 3, 1), QStringLiteral("5"));
        QCOMPARE(Text(Table(), 3, 2), QStringLiteral("6"));
        QVERIFY(window_->Doc().Modified());

        Paste(QStringLiteral("2\t3\r\n"));
        window_->CopyTable();
        QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(),
                 QByteArray("\tInput 1\tOutput\r\n1\t2\t3\r\n"));
    }

    void failedTablePasteKeepsTheTable() {
        Paste(QStringLiteral("1\t2\r\n3\t4\r\n"));
        Paste(QStringLiteral("5"));
        QCOMPARE(host_->dialogs.errors,
                 QStringList{QStringLiteral("Clipboard data could not be pasted")});
        QCOMPARE(Table().DataPointCount(), 2);
        QCOMPARE(Text(Table(), 2, 2), QStringLiteral("4"));
    }

    // The block becomes the table: no cell is left from the table before; text that is no
    // table changes nothing; Undo brings the old table back whole.
    void aPastedBlockReplacesTheWholeTable() {
        const QByteArray before("\tInput 1\tInput 2\tInput 3\tOutput\r\n1\t1\t2\t3\t4\r\n"
                                "2\t5\t6\t7\t8\r\n");
        const auto copied = [this] {
            window_->CopyTable();
            return QGuiApplication::clipboard()->text().toUtf8();
        };
        Paste(QStringLiteral("1\t2\t3\t4\r\n5\t6\t7\t8\r\n"));
        QCOMPARE(copied(), before);
        Paste(QStringLiteral("1\t2\t3\r\n4\t5\r\n"));
        const QByteArray ragged("\tInput 1\tInput 2\tOutput\r\n1\t1\t2\t3\r\n2\t4\t5\t\r\n");
        QCOMPARE(copied(), ragged);
        Paste(QString::fromLatin1("\x8f\x01G\tz\x7f\r\n\x03\r\n"));
        QCOMPARE(host_->dialogs.errors,
                 QStringList{QStringLiteral("Clipboard data could not be pasted")});
        QCOMPARE(copied(), ragged);
        window_->UndoEditMenuClick();
        QCOMPARE(copied(), before);
    }

    void cellCopyAndPasteTakeOneField() {
        Table().SetCellText(1, 2, "42");
        SetCurrent(1, 2);
        window_->CopyBitBtnClick();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("42"));

        SetCurrent(1, 1);
        QGuiApplication::clipboard()->setText(QStringLiteral("7.5\t8\r\n9\r\n"));
        window_->PasteBitBtnClick();
        QCOMPARE(Text(Table(), 1, 1), QStringLiteral("7.5"));
        QCOMPARE(Table().ColumnCount(), 3);
        QVERIFY(window_->Doc().Modified());
    }

    void printingWithoutPrinterWritesWholeRowsIntoThePdfChosen() {
        if (!QPrinterInfo::defaultPrinter().isNull()) {
            QSKIP("A printer is installed here; this test must not print on it.");
        }
        const QString gs = QStringLiteral("/usr/bin/gs");
        QVERIFY2(QFile::exists(gs), "ghostscript reads the printed text back");
        QTemporaryDir dir;
        host_->dialogs.pdfAnswer = dir.filePath(QStringLiteral("table"));
        // Rows of data-file numbers are wider than the page.
        QStringList expected{QStringLiteral("Input|1|Input|2|Input|3|Input|4|Output")};
        QString text;
        for (int row = 1; row <= 150; ++row) {
            QStringList cells;
            for (int column = 1; column <= 5; ++column) {
                cells.append(QStringLiteral("-%1.2356750062005115e-0%2").arg(row).arg(column));
            }
            text += cells.join(u'\t') + QStringLiteral("\r\n");
            expected.append(QString::number(row) + u'|' + cells.join(u'|'));
        }
        Paste(text);
        window_->PrintTable();

        const QString pdfPath = host_->dialogs.pdfAnswer + QStringLiteral(".pdf");
        QProcess extract;
        extract.start(gs, {QStringLiteral("-q"), QStringLiteral("-dNOPAUSE"),
                           QStringLiteral("-dBATCH"), QStringLiteral("-sDEVICE=txtwrite"),
                           QStringLiteral("-sOutputFile=-"), pdfPath});
        QVERIFY(extract.waitForFinished(60000));
        const QStringList lines = QString::fromUtf8(extract.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList words;
        for (const QString& line : lines) {
            // Text placed beyond the page's edge reads back as a line wider than the page.
            QVERIFY2(line.size() <= 85, qPrintable(line));
            words += line.simplified().split(QLatin1Char(' '));
        }
        QCOMPARE(words.join(u'|'), expected.join(u'|'));

        QFile pdf(pdfPath);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const qsizetype pages = QString::fromLatin1(pdf.readAll())
                                    .count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b")));
        QVERIFY2(pages >= 5, qPrintable(QString::number(pages)));
    }

    void printedColumnsLineUpUnderTheirHeadersAlsoWhenARowWraps() {
        const QStringList lines{QStringLiteral("\tInput 1\tOutput"),
                                QStringLiteral("9\t7.2356750062005115e-01\t320.08"),
                                QStringLiteral("10\t-1\t3.2008238893611104e+02"),
                                QStringLiteral("Autocorrelation")};
        QCOMPARE(TextPrinter::Layout(lines, 80),
                 (QStringList{QStringLiteral("    Input 1                 Output"),
                              QStringLiteral("9   7.2356750062005115e-01  320.08"),
                              QStringLiteral("10  -1                      3.2008238893611104e+02"),
                              QStringLiteral("Autocorrelation")}));
        QCOMPARE(
            TextPrinter::Layout(lines, 30),
            (QStringList{QStringLiteral("    Input 1"), QStringLiteral("Output"),
                         QStringLiteral("9   7.2356750062005115e-01"), QStringLiteral("320.08"),
                         QStringLiteral("10  -1"), QStringLiteral("3.2008238893611104e+02"),
                         QStringLiteral("Autocorrelation")}));
    }

    void cancelledPdfNamePrintsNothing() {
        if (!QPrinterInfo::defaultPrinter().isNull()) {
            QSKIP("A printer is installed here; this test must not print on it.");
        }
        window_->PrintTable();
        QVERIFY(host_->dialogs.errors.isEmpty());
    }

    void largeTableScrollsToItsLastRow() {
        QString row;
        for (int column = 1; column <= 51; ++column) {
            row += QStringLiteral("%1\t").arg(column);
        }
        row.chop(1);
        row += QStringLiteral("\r\n");
        Paste(row.repeated(100000));
        QCOMPARE(Grid()->model()->rowCount(), 100000);
        QCOMPARE(Grid()->model()->columnCount(), 51);
        Grid()->scrollToBottom();
        SetCurrent(99999, 51);
        Table().SetCellText(100000, 51, "last");
        window_->DelBitBtnClick();
        QCOMPARE(FieldText(Field("DataPointsSpinEdit")), QStringLiteral("99999"));
        QCOMPARE(Text(Table(), 99999, 51), QStringLiteral("last"));
        QCOMPARE(window_->CurrentRow(), 99999);
        QVERIFY(!Grid()->grab().isNull());
    }
};

} // namespace orvanel

QTEST_MAIN(orvanel::MDIMainChildTest)
#include "MDIMainChildTest.moc"
