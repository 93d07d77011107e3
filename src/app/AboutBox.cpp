#include "app/AboutBox.h"

#include "app/TitlePicture.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace orvanel {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(343, 215);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setGeometry(8, 8, 329, 169);

    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setPixmap(TitlePicture::Load());
    picture->setScaledContents(true);
    picture->setGeometry(8, 8, 169, 97);

    const auto addLabel = [panel](const QString& name, const QString& text, QRect where) {
        auto* label = new QLabel(text, panel);
        label->setObjectName(name);
        label->setGeometry(where);
        return label;
    };
    addLabel(QStringLiteral("ProductName"), QStringLiteral("Orvanel 1.0"), {184, 16, 137, 20});
    addLabel(QStringLiteral("Version"), QStringLiteral("Orvanel developers"), {184, 40, 137, 20});
    addLabel(QStringLiteral("Copyright"), QStringLiteral("Identification of MISO models"),
             {8, 120, 313, 20});
    addLabel(QStringLiteral("Comments"),
             QStringLiteral("Faults and questions: orvanel@users.example.org"), {8, 144, 313, 20})
        ->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setGeometry(135, 180, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace orvanel
