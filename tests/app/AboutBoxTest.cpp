// The about box and the splash show the title picture shipped with the program.

#include "app/AboutBox.h"

#include "app/SplashDlg.h"
#include "app/TitlePicture.h"
#include "support/WindowLeakCheck.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace orvanel {

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { VerifyNoTopLevelWindows(); }

    void titlePictureIsShippedAtItsSize() {
        const QPixmap picture = TitlePicture::Load();
        QCOMPARE(picture.size(), QSize(473, 276));
        QVERIFY(!picture.hasAlphaChannel());
    }

    void aboutBoxShowsNameAndStretchedPicture() {
        TAboutBox about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.size(), QSize(343, 215));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("ProductName"))->text(),
                 QStringLiteral("Orvanel 1.0"));
        auto* picture = about.findChild<QLabel*>(QStringLiteral("ProgramIcon"));
        QCOMPARE(picture->geometry(), QRect(8, 8, 169, 97));
        QVERIFY(picture->hasScaledContents());
        QCOMPARE(picture->pixmap().size(), QSize(473, 276));

        auto* ok = about.findChild<QPushButton*>(QStringLiteral("OKButton"));
        QVERIFY(ok->isDefault());
        about.show();
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }

    void everyTextFitsOnItsLine() {
        TAboutBox about;
        about.show();
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(label->text()) <=
                             label->contentsRect().width(),
                         qPrintable(label->text()));
            }
        }
    }

    void splashCutsThePictureAtItsNaturalSize() {
        TOKBottomDlg splash;
        splash.ShowNow();
        QVERIFY(splash.isVisible());
        QCOMPARE(splash.size(), QSize(473, 274));
        QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
        auto* image = splash.findChild<QLabel*>(QStringLiteral("Image1"));
        QCOMPARE(image->pixmap().size(), QSize(473, 276));
        QVERIFY(!image->hasScaledContents());
    }
};

} // namespace orvanel

QTEST_MAIN(orvanel::AboutBoxTest)
#include "AboutBoxTest.moc"
