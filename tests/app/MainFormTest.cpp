// Drives the main window: the New numbering, the reopen list, Open and Save through the
// dialogs, the routing of the shared commands, and the close and exit prompts.

#include "app/MainForm.h"

#include "app/ModelViews.h"
#include "app/PlotChild.h"
#include "app/SummaryText.h"
#include "document/project/KeptModel.h"
#include "support/FakeUserDialogs.h"
#include "support/WindowLeakCheck.h"
#include "window/MDIMainChild.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <qcustomplot.h>

namespace orvanel {

class MainFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainForm> form_;
    FakeUserDialogs* dialogs_ = nullptr;
    QTemporaryDir dir_;

    QStringList Captions() const {
        QStringList captions;
        for (QMdiSubWindow* window : form_->ChildWindows()) {
            captions.append(window->widget()->windowTitle());
        }
        return captions;
    }
    QString WriteFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    static QByteArray ReadFile(const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
    QWidget* AddPlotWindow(const QString& caption) {
        auto* plot = new QWidget;
        plot->setWindowTitle(caption);
        QMdiSubWindow* window = form_->MdiArea()->addSubWindow(plot);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        form_->MdiArea()->setActiveSubWindow(window);
        return plot;
    }
    TMDIMainChild* ActiveDocument() const {
        QMdiSubWindow* active = form_->MdiArea()->currentSubWindow();
        return active != nullptr ? qobject_cast<TMDIMainChild*>(active->widget()) : nullptr;
    }
    QAction* Named(const char* name) const {
        return form_->findChild<QAction*>(QLatin1String(name));
    }
    bool RunButtonsVisible() const {
        return Named("EjecutarToolButton")->isVisible() && Named("OpcionesToolButton")->isVisible();
    }
    QStringList ReopenCaptions() const {
        QStringList captions;
        for (int k = 1; k <= 4; ++k) {
            QAction* entry = form_->findChild<QAction*>(QStringLiteral("FileName%1").arg(k));
            captions.append(entry->isVisible() ? entry->text() : QStringLiteral("(hidden)"));
        }
        return captions;
    }
    static QString CaptionOf(const QMdiSubWindow& window) { return window.widget()->windowTitle(); }
    void CloseActive() {
        form_->CloseMenuClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private slots:
    void init() {
        auto dialogs = std::make_unique<FakeUserDialogs>();
        dialogs_ = dialogs.get();
        form_ = std::make_unique<TMainForm>(std::move(dialogs));
        form_->show();
    }

    void cleanup() {
        form_.reset();
        VerifyNoTopLevelWindows();
    }

    void startsEmptyWithHiddenRunButtons() {
        QCOMPARE(form_->windowTitle(), QStringLiteral("Orvanel"));
        QCOMPARE(form_->findChild<QLabel*>(QStringLiteral("MainStatusPanel"))->text(),
                 QStringLiteral("Ready"));
        QVERIFY(!RunButtonsVisible());
        QVERIFY(!Named("ReopenMenu")->isVisible());
        QCOMPARE(form_->ExecuteImageIndex(), TMainForm::IdleImage);
    }

    void executeButtonShowsTheRunState() {
        const auto picture = [this](QIcon::Mode mode) {
            return Named("EjecutarToolButton")->icon().pixmap(16, mode).toImage();
        };
        const QImage idle = picture(QIcon::Normal);
        QVERIFY(!idle.isNull());
        QVERIFY(picture(QIcon::Active) != idle);
        form_->SetExecuteImageIndex(TMainForm::RunningImage);
        QVERIFY(picture(QIcon::Normal) != idle);
        form_->SetExecuteImageIndex(TMainForm::IdleImage);
        QCOMPARE(picture(QIcon::Normal), idle);
    }

    void newTakesTheLowestNumberNoWindowUses() {
        form_->NewMenuClick();
        QCOMPARE(Captions(), QStringList{QStringLiteral("New1")});
        QVERIFY(RunButtonsVisible());
        AddPlotWindow(QStringLiteral("New1 - Plot"));
        form_->NewMenuClick();
        form_->NewMenuClick();
        QCOMPARE(Captions(), (QStringList{QStringLiteral("New1"), QStringLiteral("New1 - Plot"),
                                          QStringLiteral("New2"), QStringLiteral("New3")}));

        // A closed document's number is free again, unless its plot window is still open.
        form_->MdiArea()->setActiveSubWindow(form_->ChildWindows().at(2));
        CloseActive();
        form_->MdiArea()->setActiveSubWindow(form_->ChildWindows().first());
        CloseActive();
        form_->NewMenuClick();
        form_->NewMenuClick();
        QCOMPARE(Captions(), (QStringList{QStringLiteral("New1 - Plot"), QStringLiteral("New3"),
                                          QStringLiteral("New2"), QStringLiteral("New4")}));
    }

    void closingTheOnlyDocumentHidesTheRunButtons() {
        form_->NewMenuClick();
        form_->NewMenuClick();
        CloseActive();
        QVERIFY(RunButtonsVisible());
        CloseActive();
        QVERIFY(!RunButtonsVisible());
    }

    void reopenListKeepsTheLastFourOpens() {
        QStringList paths;
        for (int i = 1; i <= 5; ++i) {
            paths.append(WriteFile(QStringLiteral("Data%1.txt").arg(i), "1\t2\r\n"));
        }
        dialogs_->openAnswers = paths;
        for (int i = 0; i < 5; ++i) {
            form_->OpenMenuClick();
        }
        QVERIFY(Named("ReopenMenu")->isVisible());
        QCOMPARE(ReopenCaptions(),
                 (QStringList{QStringLiteral("&1 ") + paths[4], QStringLiteral("&2 ") + paths[3],
                              QStringLiteral("&3 ") + paths[2], QStringLiteral("&4 ") + paths[1]}));
        QCOMPARE(Captions().last(), QStringLiteral("data5.txt"));
        QVERIFY(dialogs_->errors.isEmpty());
    }

    void openingOneFileTwiceFillsTwoEntries() {
        const QString path = WriteFile(QStringLiteral("Same.txt"), "1\t2\r\n");
        dialogs_->openAnswers = {path, path};
        form_->OpenMenuClick();
        QCOMPARE(ReopenCaptions(),
                 (QStringList{QStringLiteral("&1 ") + path, QStringLiteral("(hidden)"),
                              QStringLiteral("(hidden)"), QStringLiteral("(hidden)")}));
        form_->OpenMenuClick();
        QCOMPARE(Captions(), (QStringList{QStringLiteral("same.txt"), QStringLiteral("same.txt")}));
        QCOMPARE(ReopenCaptions().mid(0, 2),
                 (QStringList{QStringLiteral("&1 ") + path, QStringLiteral("&2 ") + path}));
    }

    void cancelledOpenChangesNothing() {
        form_->OpenMenuClick();
        QVERIFY(Captions().isEmpty());
        QVERIFY(!RunButtonsVisible());
        QVERIFY(!Named("ReopenMenu")->isVisible());
    }

    void failedOpenLeavesNoWindowAndSaysWhy() {
        const QString path = WriteFile(QStringLiteral("Empty.TXT"), "");
        dialogs_->openAnswers = {path};
        form_->OpenMenuClick();
        QCOMPARE(dialogs_->errors, QStringList{QStringLiteral("Error opening the file. Check its "
                                                              "format.\nThe text holds no "
                                                              "complete line")});
        QVERIFY(Captions().isEmpty());
        QVERIFY(!RunButtonsVisible());
        QVERIFY(!Named("ReopenMenu")->isVisible());
    }

    void aFileInAnotherFormatOpensThroughTheImport() {
        dialogs_->cancelImport = true;
        dialogs_->openAnswers = {WriteFile(QStringLiteral("data.csv"), "1,2,3\r\n4,5,6\r\n")};
        form_->OpenMenuClick();
        QCOMPARE(dialogs_->importQuestions, 1);
        QVERIFY(Captions().isEmpty());
        dialogs_->cancelImport = false;
        dialogs_->openAnswers = {WriteFile(QStringLiteral("header.txt"), "u\ty\r\n1\t2\r\n")};
        form_->OpenMenuClick();
        QCOMPARE(dialogs_->importQuestions, 2);
        QCOMPARE(Captions(), QStringList{QStringLiteral("header.txt")});
        // One column of text is no table in any format: refused as before.
        dialogs_->openAnswers = {WriteFile(QStringLiteral("note.txt"), "abc\r\n")};
        form_->OpenMenuClick();
        QCOMPARE(dialogs_->importQuestions, 2);
        QCOMPARE(dialogs_->errors.size(), 1);
        QVERIFY(dialogs_->errors.last().endsWith(QStringLiteral("Row 1, column 1 holds \"abc\".")));
    }

    void reopeningADeletedFileFails() {
        const QString path = WriteFile(QStringLiteral("Gone.txt"), "1\t2\r\n");
        dialogs_->openAnswers = {path};
        form_->OpenMenuClick();
        QFile::remove(path);
        form_->ReopenClick(Named("FileName1"));
        QCOMPARE(dialogs_->errors,
                 QStringList{QStringLiteral("Error opening the file. Check its format.\nCannot "
                                            "read file ") +
                             path + QStringLiteral(": No such file or directory")});
        QCOMPARE(Captions(), QStringList{QStringLiteral("gone.txt")});
        QCOMPARE(ReopenCaptions().first(), QStringLiteral("&1 ") + path);
    }

    void reopenLoadsTheEntrysFileWithoutReordering() {
        const QString first = WriteFile(QStringLiteral("A.txt"), "1\t2\r\n");
        const QString second = WriteFile(QStringLiteral("B.txt"), "3\t4\t5\r\n");
        dialogs_->openAnswers = {first, second};
        form_->OpenMenuClick();
        form_->OpenMenuClick();
        form_->ReopenClick(Named("FileName2"));
        QCOMPARE(Captions().last(), QStringLiteral("a.txt"));
        QCOMPARE(ActiveDocument()->Doc().Table().CellText(1, 2), std::string("2"));
        QCOMPARE(ReopenCaptions().mid(0, 2),
                 (QStringList{QStringLiteral("&1 ") + second, QStringLiteral("&2 ") + first}));
    }

    void saveRoundTripsThroughTheDialogs() {
        form_->NewMenuClick();
        DataTable& table = ActiveDocument()->Doc().Table();
        table.SetCellText(1, 1, "0.5");
        table.SetCellText(1, 2, "2.25");
        const QString chosen = dir_.filePath(QStringLiteral("Run1.DAT"));
        dialogs_->saveAnswers = {chosen};
        form_->SaveMenuClick();
        QCOMPARE(dialogs_->savePresets, QStringList{QStringLiteral("New1")});
        QCOMPARE(ReadFile(dir_.filePath(QStringLiteral("Run1.txt"))), QByteArray("0.5\t2.25\r\n"));
        QCOMPARE(Captions(), QStringList{QStringLiteral("run1.dat")});
        QVERIFY(!ActiveDocument()->Doc().Modified());

        // A document with a file is saved there again without a dialog.
        table.SetCellText(1, 1, "7");
        form_->SaveMenuClick();
        QCOMPARE(dialogs_->savePresets.size(), 1);
        QCOMPARE(ReadFile(dir_.filePath(QStringLiteral("Run1.txt"))), QByteArray("7\t2.25\r\n"));

        dialogs_->openAnswers = {dir_.filePath(QStringLiteral("Run1.txt"))};
        form_->OpenMenuClick();
        QCOMPARE(ActiveDocument()->Doc().Table().CellText(1, 1), std::string("7"));
    }

    // The frame's title marks unsaved changes until Undo or Save; saved under a .mat name, the
    // document becomes the .txt file written.
    void theTitleMarksUnsavedChangesAndFollowsTheFileWritten() {
        form_->NewMenuClick();
        QMdiSubWindow* frame = form_->MdiArea()->currentSubWindow();
        TMDIMainChild* document = ActiveDocument();
        QCOMPARE(frame->windowTitle(), QStringLiteral("New1[*]"));
        QVERIFY(!frame->isWindowModified());
        QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r\n"));
        document->PasteTable();
        QVERIFY(frame->isWindowModified());
        document->UndoEditMenuClick();
        QVERIFY(!frame->isWindowModified());
        document->RedoEditMenuClick();
        QVERIFY(frame->isWindowModified());
        dialogs_->saveAnswers = {dir_.filePath(QStringLiteral("plant.mat"))};
        form_->SaveMenuClick();
        QCOMPARE(ReadFile(dir_.filePath(QStringLiteral("plant.txt"))), QByteArray("1\t2\r\n"));
        QCOMPARE(frame->windowTitle(), QStringLiteral("plant.txt[*]"));
        QCOMPARE(document->DocumentPath(), dir_.filePath(QStringLiteral("plant.txt")));
        QVERIFY(!frame->isWindowModified());
    }

    void saveWithAPlotWindowSavesItsDocument() {
        form_->NewMenuClick();
        TMDIMainChild* document = ActiveDocument();
        document->Doc().Table().SetCellText(1, 2, "3");
        AddPlotWindow(QStringLiteral("New1 - Plot"));
        const QString chosen = dir_.filePath(QStringLiteral("fromplot.txt"));
        dialogs_->saveAnswers = {chosen};
        form_->SaveMenuClick();
        QCOMPARE(dialogs_->savePresets, QStringList{QStringLiteral("New1 - Plot")});
        QCOMPARE(ReadFile(chosen), QByteArray("\t3\r\n"));
        QCOMPARE(document->windowTitle(), QStringLiteral("fromplot.txt"));
    }

    void saveAsAsksBeforeReplacingTheTxtFileOfAnotherName() {
        // The name chosen is not the file written: "kept" and "kept.dat" both write kept.txt.
        const QString kept = dir_.filePath(QStringLiteral("kept.txt"));
        QFile file(kept);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1\t2\r\n");
        file.close();
        form_->NewMenuClick();
        ActiveDocument()->Doc().Table().SetCellText(1, 2, "9");
        dialogs_->saveAnswers = {dir_.filePath(QStringLiteral("kept")),
                                 dir_.filePath(QStringLiteral("kept.dat"))};
        dialogs_->replaceFileAnswers = {false, true};
        form_->SaveAsMenuClick();
        QCOMPARE(dialogs_->replaceFileQuestions, QStringList{kept});
        QCOMPARE(ReadFile(kept), QByteArray("1\t2\r\n"));
        QCOMPARE(Captions(), QStringList{QStringLiteral("New1")});
        form_->SaveAsMenuClick();
        QCOMPARE(dialogs_->replaceFileQuestions, (QStringList{kept, kept}));
        QCOMPARE(ReadFile(kept), QByteArray("\t9\r\n"));
        QCOMPARE(Captions(), QStringList{QStringLiteral("kept.dat")});

        // The dialog itself asked about the very file it returned.
        dialogs_->saveAnswers = {kept};
        form_->SaveAsMenuClick();
        QCOMPARE(dialogs_->replaceFileQuestions.size(), 2);
    }

    void plainSaveOfAnotherNameAsksBeforeReplacingItsTxtFile() {
        const QString loaded = dir_.filePath(QStringLiteral("plant.dat"));
        const QString written = dir_.filePath(QStringLiteral("plant.txt"));
        for (const auto& [path, bytes] : {std::pair{loaded, QByteArray("1\t2\r\n")},
                                          std::pair{written, QByteArray("other\r\n")}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        dialogs_->openAnswers = {loaded};
        form_->OpenMenuClick();
        ActiveDocument()->Doc().Table().SetCellText(1, 2, "9");
        dialogs_->replaceFileAnswers = {false};
        form_->SaveMenuClick();
        QCOMPARE(dialogs_->replaceFileQuestions, QStringList{written});
        QCOMPARE(ReadFile(written), QByteArray("other\r\n"));
        QVERIFY(ActiveDocument()->Doc().Modified());

        form_->SaveMenuClick();
        QCOMPARE(ReadFile(written), QByteArray("1\t9\r\n"));
        form_->SaveMenuClick();
        QCOMPARE(dialogs_->replaceFileQuestions.size(), 2);
    }

    void failedSaveShowsTheFileError() {
        form_->NewMenuClick();
        dialogs_->saveAnswers = {dir_.filePath(QStringLiteral("missing/folder/x.txt"))};
        form_->SaveAsMenuClick();
        QCOMPARE(dialogs_->errors.size(), 1);
        QVERIFY(dialogs_->errors.first().startsWith(QStringLiteral("Cannot create file")));
        QCOMPARE(Captions(), QStringList{QStringLiteral("New1")});
    }

    void routedCommandsWithoutChildDoNothing() {
        form_->SaveMenuClick();
        form_->SaveAsMenuClick();
        form_->PrintMenuClick();
        form_->CopyToolButtonClick();
        form_->PasteToolButtonClick();
        form_->OpcionesToolButtonClick();
        form_->EjecutarToolButtonClick();
        form_->CloseMenuClick();
        form_->TileMenuClick();
        form_->MinimizeAllMenuClick();
        form_->ArrangeAllMenuClick();
        QVERIFY(Captions().isEmpty());
        QVERIFY(dialogs_->savePresets.isEmpty());
        QVERIFY(dialogs_->errors.isEmpty());
        QCOMPARE(form_->ExecuteImageIndex(), TMainForm::IdleImage);
    }

    void optionsAndExecuteReachTheDocument() {
        form_->NewMenuClick();
        TMDIMainChild* document = ActiveDocument();
        QSignalSpy options(document, &TMDIMainChild::OptionsRequested);
        QString shownDialog;
        const auto closeOptionsDialog = [&] {
            QTimer::singleShot(0, this, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                QVERIFY(modal != nullptr);
                shownDialog = modal->windowTitle();
                QVERIFY(QMetaObject::invokeMethod(modal, "reject"));
            });
        };
        closeOptionsDialog();
        form_->OpcionesToolButtonClick();
        QCOMPARE(shownDialog, QStringLiteral("Genetic Algorithm Properties"));
        // A new document asks to be saved first; the cancelled save dialog ends the command.
        form_->EjecutarToolButtonClick();
        QCOMPARE(options.size(), 1);
        QCOMPARE(dialogs_->savePresets, QStringList{QStringLiteral("New1")});
        QCOMPARE(form_->ExecuteImageIndex(), TMainForm::IdleImage);

        // Through a plot window the commands reach the document of the same caption.
        AddPlotWindow(QStringLiteral("New1 - Plot"));
        closeOptionsDialog();
        form_->OpcionesToolButtonClick();
        form_->EjecutarToolButtonClick();
        QCOMPARE(options.size(), 2);
        QCOMPARE(dialogs_->savePresets.size(), 2);
    }

    void pasteWithAPlotWindowDoesNothing() {
        form_->NewMenuClick();
        TMDIMainChild* document = ActiveDocument();
        QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r\n3\t4\r\n"));
        AddPlotWindow(QStringLiteral("New1 - Plot"));
        form_->PasteToolButtonClick();
        QCOMPARE(document->Doc().Table().DataPointCount(), 1);
        QVERIFY(!document->Doc().Modified());
    }

    void menuBarMergesTheActiveDocumentsMenus() {
        const auto titles = [this] {
            QStringList texts;
            for (QAction* action : form_->menuBar()->actions()) {
                texts.append(action->text());
            }
            return texts;
        };
        QCOMPARE(titles(), (QStringList{QStringLiteral("&File"), QStringLiteral("&Window"),
                                        QStringLiteral("&Help")}));
        form_->NewMenuClick();
        QCOMPARE(titles(), (QStringList{QStringLiteral("&File"), QStringLiteral("&Edit"),
                                        QStringLiteral("&Algorithm"), QStringLiteral("&Window"),
                                        QStringLiteral("&Help")}));
        AddPlotWindow(QStringLiteral("Other"));
        QCOMPARE(titles().size(), 3);
    }

    void windowMenuListsTheChildWindows() {
        form_->NewMenuClick();
        form_->NewMenuClick();
        QMenu* window = form_->menuBar()->actions().at(3)->menu();
        emit window->aboutToShow();
        QStringList entries;
        for (QAction* action : window->actions()) {
            if (action->isCheckable()) {
                entries.append(action->text() +
                               (action->isChecked() ? QStringLiteral("*") : QString()));
            }
        }
        QCOMPARE(entries, (QStringList{QStringLiteral("&1 New1"), QStringLiteral("&2 New2*")}));
    }

    void tileStacksTheWindows() {
        form_->NewMenuClick();
        form_->NewMenuClick();
        form_->TileMenuClick();
        const QList<QMdiSubWindow*> windows = form_->ChildWindows();
        const int width = form_->MdiArea()->viewport()->width();
        QCOMPARE(windows[0]->geometry().top(), 0);
        QCOMPARE(windows[1]->geometry().top(), windows[0]->geometry().bottom() + 1);
        QCOMPARE(windows[0]->width(), width);
        QCOMPARE(windows[1]->width(), width);
    }

    void tileAndCascadeKeepUsableSizesAndPaintNoEmptyChart() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QPainter")));
        form_->resize(640, 480);
        for (int i = 0; i < 4; ++i) {
            form_->NewMenuClick();
            form_->CreatePlotWindow();
        }
        const QList<QMdiSubWindow*> windows = form_->ChildWindows();
        // Tiled in a grid where one fits, cascaded where none does: never past the area.
        for (const QSize frame : {QSize(640, 480), QSize(1600, 1000)}) {
            form_->resize(frame);
            form_->TileMenuClick();
            QCoreApplication::processEvents();
            const QRect area(QPoint(0, 0), form_->MdiArea()->contentsRect().size());
            for (QMdiSubWindow* window : windows) {
                QVERIFY2(area.contains(window->geometry()), qPrintable(CaptionOf(*window)));
                QCOMPARE(window->size(), window->size().expandedTo(window->minimumSize()));
            }
        }
        // At the larger size the windows sit side by side, none over another.
        for (int i = 1; i < windows.size(); ++i) {
            QVERIFY(!windows[i]->geometry().intersects(windows[i - 1]->geometry()));
        }
        form_->resize(640, 480);

        form_->CascadeMenuClick();
        QCoreApplication::processEvents();
        const QSize viewport = form_->MdiArea()->viewport()->size();
        for (QMdiSubWindow* window : windows) {
            QVERIFY(!window->isMinimized());
            QVERIFY(window->width() >= viewport.width() * 2 / 3);
            QVERIFY(window->height() >= viewport.height() * 2 / 3);
        }
        QVERIFY(windows[1]->pos().y() > windows[0]->pos().y());
    }

    void shortcutsReachTheWholeTableWhileACellIsEdited() {
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        form_->NewMenuClick();
        TMDIMainChild* document = ActiveDocument();
        document->Doc().Table().SetCellText(1, 2, "3");
        auto* grid = document->findChild<QTableView*>();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_4);
        auto* editor = grid->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        QTRY_VERIFY(editor->hasFocus());

        QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("\tInput 1\tOutput\r\n1\t\t3\r\n"));

        QGuiApplication::clipboard()->setText(QStringLiteral("5\t6\r\n7\t8\r\n"));
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(document->Doc().Table().DataPointCount(), 2);

        // Ctrl+P prints (here into the PDF file asked for) and pastes nothing.
        dialogs_->pdfAnswer = dir_.filePath(QStringLiteral("shortcut.pdf"));
        QGuiApplication::clipboard()->setText(QStringLiteral("1\r\n2\r\n3\r\n"));
        QTest::keyClick(grid, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(QFile::exists(dialogs_->pdfAnswer));
        QCOMPARE(document->Doc().Table().DataPointCount(), 2);
    }

    void minimizeAllThenArrangeLinesThemUp() {
        form_->NewMenuClick();
        form_->NewMenuClick();
        form_->NewMenuClick();
        form_->MinimizeAllMenuClick();
        const QList<QMdiSubWindow*> windows = form_->ChildWindows();
        for (QMdiSubWindow* window : windows) {
            QVERIFY(window->isMinimized());
        }
        form_->ArrangeAllMenuClick();
        // Left to right along the bottom edge, then a row higher when the area is full.
        const int bottom = form_->MdiArea()->viewport()->rect().bottom();
        const int width = windows[0]->width();
        QVERIFY(3 * width > form_->MdiArea()->viewport()->width());
        QCOMPARE(windows[0]->geometry().bottomLeft(), QPoint(0, bottom));
        QCOMPARE(windows[1]->geometry().bottomLeft(), QPoint(width, bottom));
        QCOMPARE(windows[2]->geometry().bottomLeft(), QPoint(0, bottom - windows[0]->height()));
    }

    void pointerOverTheFrameSaysReady() {
        form_->SetStatusText(QStringLiteral("Executing..."));
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form_->MdiArea()->viewport(), &move);
        QCOMPARE(form_->findChild<QLabel*>(QStringLiteral("MainStatusPanel"))->text(),
                 QStringLiteral("Ready"));

        // A stopped run's text stays until the next command.
        form_->SetStatusTextUntilNextCommand(QStringLiteral("Stopped at generation 7."));
        QCoreApplication::sendEvent(form_->MdiArea()->viewport(), &move);
        QCOMPARE(form_->findChild<QLabel*>(QStringLiteral("MainStatusPanel"))->text(),
                 QStringLiteral("Stopped at generation 7."));
        Named("NewMenu")->trigger();
        QCoreApplication::sendEvent(form_->MdiArea()->viewport(), &move);
        QCOMPARE(form_->findChild<QLabel*>(QStringLiteral("MainStatusPanel"))->text(),
                 QStringLiteral("Ready"));
    }

    void closePromptCanKeepTheDocument() {
        form_->NewMenuClick();
        TMDIMainChild* document = ActiveDocument();
        document->Doc().MarkModified();

        dialogs_->saveChangesAnswers = {UserDialogs::Answer::Cancel};
        CloseActive();
        QCOMPARE(Captions().size(), 1);

        // Yes, then the save dialog cancelled: the document stays.
        dialogs_->saveChangesAnswers = {UserDialogs::Answer::Yes};
        CloseActive();
        QCOMPARE(Captions().size(), 1);
        QCOMPARE(dialogs_->savePresets, QStringList{QStringLiteral("New1")});

        const QString chosen = dir_.filePath(QStringLiteral("kept.txt"));
        dialogs_->saveChangesAnswers = {UserDialogs::Answer::Yes};
        dialogs_->saveAnswers = {chosen};
        CloseActive();
        QVERIFY(Captions().isEmpty());
        QVERIFY(QFile::exists(chosen));
        QCOMPARE(dialogs_->saveChangesQuestions, 3);
    }

    void unmodifiedDocumentClosesWithoutAsking() {
        form_->NewMenuClick();
        CloseActive();
        QVERIFY(Captions().isEmpty());
        QCOMPARE(dialogs_->saveChangesQuestions, 0);
    }

    void exitAsksForEveryModifiedDocument() {
        form_->NewMenuClick();
        ActiveDocument()->Doc().MarkModified();
        form_->NewMenuClick();
        form_->NewMenuClick();
        ActiveDocument()->Doc().MarkModified();

        AddPlotWindow(QStringLiteral("New3 - Plot"));

        // Every question comes before any window closes: a cancel keeps them all.
        dialogs_->saveChangesAnswers = {UserDialogs::Answer::No, UserDialogs::Answer::Cancel};
        QVERIFY(!form_->close());
        QVERIFY(form_->isVisible());
        QCOMPARE(Captions(), (QStringList{QStringLiteral("New1"), QStringLiteral("New2"),
                                          QStringLiteral("New3"), QStringLiteral("New3 - Plot")}));
        QCOMPARE(dialogs_->saveChangesCaptions,
                 (QStringList{QStringLiteral("New3"), QStringLiteral("New1")}));

        // A document answered No closes without being asked again.
        dialogs_->saveChangesAnswers = {UserDialogs::Answer::No, UserDialogs::Answer::No};
        QVERIFY(form_->close());
        QCOMPARE(dialogs_->saveChangesQuestions, 4);
    }

    // The kept models' question too comes before any window closes, the plot windows included.
    void exitAsksAboutKeptModelsBeforeClosingAnyWindow() {
        form_->NewMenuClick();
        ActiveDocument()->Doc().History().Add(KeptModel{});
        AddPlotWindow(QStringLiteral("New1 - Plot"));
        dialogs_->saveModelsAnswers = {UserDialogs::Answer::Cancel};
        QVERIFY(!form_->close());
        QCOMPARE(Captions(), (QStringList{QStringLiteral("New1"), QStringLiteral("New1 - Plot")}));
        QVERIFY(form_->close());
        QCOMPARE(dialogs_->saveModelsCaptions,
                 (QStringList{QStringLiteral("New1"), QStringLiteral("New1")}));
    }

    void closeAllAsksAndHidesTheRunButtons() {
        form_->NewMenuClick();
        ActiveDocument()->Doc().MarkModified();
        form_->NewMenuClick();
        form_->CloseAllMenuClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(Captions().isEmpty());
        QCOMPARE(dialogs_->saveChangesQuestions, 1);
        QVERIFY(!RunButtonsVisible());
    }

    void helpContentsShowsTheHelpFile() {
        form_->SetHelpFile(dir_.filePath(QStringLiteral("none.hlp")));
        form_->HelpContentsMenuClick();
        QVERIFY(form_->findChild<QTextBrowser*>() == nullptr);

        form_->SetHelpFile(WriteFile(QStringLiteral("Orvanel.hlp"),
                                     "<html><body><h1>Entering data</h1></body></html>"));
        form_->HelpContentsMenuClick();
        auto* help = form_->findChild<QTextBrowser*>();
        QVERIFY(help != nullptr);
        QVERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QCOMPARE(help->toPlainText(), QStringLiteral("Entering data"));
    }

    // From the import of a file with named columns through a short run to every view of its
    // model: the views' titles take a row of their own above the axes.
    void aRunOnNamedColumnsShowsEveryView() {
        QByteArray text("valve,level\r\n");
        double level = 0.0;
        for (int k = 0; k < 80; ++k) {
            const double valve = (k / 10) % 2;
            text += QByteArray::number(valve) + ',' + QByteArray::number(level, 'g', 12) + "\r\n";
            level = 0.8 * level + 0.4 * valve;
        }
        dialogs_->openAnswers = {WriteFile(QStringLiteral("named.csv"), text)};
        form_->OpenMenuClick();
        TMDIMainChild* document = ActiveDocument();
        QVERIFY(document != nullptr);
        document->Engine().Generations = 2;
        document->Engine().SetPopulationSize(20);
        form_->EjecutarToolButtonClick();
        auto* plot = form_->findChild<TPlotMDIChild*>();
        QVERIFY(plot != nullptr);
        ModelViews& views = plot->Views();
        for (const ModelViews::View view :
             {ModelViews::FrequencyView, ModelViews::PoleZeroView, ModelViews::ResidualView}) {
            views.setCurrentIndex(view);
            QCustomPlot* chart = views.Plot(view);
            chart->replot();
            QCOMPARE(chart->axisRectCount(), view == ModelViews::PoleZeroView ? 1 : 2);
            QVERIFY(qobject_cast<QCPTextElement*>(chart->plotLayout()->element(0, 0))
                        ->text()
                        .endsWith(QStringLiteral(" \u2014 Input 1 (valve)")));
            QVERIFY(chart->graphCount() > 0);
        }
        QCOMPARE(views.DataLines(ModelViews::FrequencyView).first(),
                 QStringLiteral("Magnitude (dB)"));
        views.setCurrentIndex(ModelViews::SummaryView);
        QVERIFY(views.Summary().toPlainText().contains(QStringLiteral("Static gain: ")));
        views.setCurrentIndex(ModelViews::TuningView);
        views.Plot(ModelViews::TuningView)->replot();
        plot->parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        form_->resize(1400, 900);
        form_->ShowPlotMenuClick();
        // Shown again outside a run, the plot opens wide enough for its charts.
        QCOMPARE(form_->findChild<TPlotMDIChild*>()->parentWidget()->width(),
                 form_->MdiArea()->contentsRect().width() * 2 / 3);
    }

    void commandLineOpensEveryFile() {
        const QString first = WriteFile(QStringLiteral("One.txt"), "1\t2\r\n");
        const QString second = WriteFile(QStringLiteral("Two.txt"), "1\t2\t3\r\n");
        form_->OpenDocuments({first, second});
        QCOMPARE(Captions(), (QStringList{QStringLiteral("one.txt"), QStringLiteral("two.txt")}));
        QCOMPARE(ReopenCaptions().first(), QStringLiteral("&1 ") + second);
    }
};

} // namespace orvanel

QTEST_MAIN(orvanel::MainFormTest)
#include "MainFormTest.moc"
