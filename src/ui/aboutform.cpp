#include "aboutform.h"

#include "ui_aboutform.h"

#include <QCoreApplication>
#include <QPixmap>

namespace {

// Smaller than this the notice is no longer readable.
constexpr double MinimumPointSize = 6.0;

} // namespace

AboutForm::AboutForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_AboutForm)
{
    Q_INIT_RESOURCE(images);
    _ui->setupUi(this);
    setWindowTitle(QStringLiteral("About"));
    showLogo();
    showTitle();
    // The compiler's own forms, e.g. "Jun 11 2025 14:22:36".
    _ui->pushButtonClose->setToolTip(QStringLiteral("%1 %2").arg(QStringLiteral(__DATE__), QStringLiteral(__TIME__)));
    showContent();
    fitContent();
}

AboutForm::~AboutForm()
{
    delete _ui;
}

void AboutForm::on_pushButtonClose_clicked()
{
    hide();
}

// The picture is scaled into the label's designed place: at its own size
// (256 px) it would cover the notice and run past the bottom of the box.
void AboutForm::showLogo()
{
    QLabel* label = _ui->labelLogo;
    const QPixmap logo(QStringLiteral(":/images/logo.png"));
    label->setAlignment(Qt::AlignCenter);
    label->setPixmap(logo.scaled(label->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void AboutForm::showTitle()
{
    _ui->labelTitle->setAlignment(Qt::AlignHCenter);
    _ui->labelTitle->setText(QStringLiteral("<p style=\"font-size: 18px;\">关于Quarnel</p>"));
}

void AboutForm::showContent()
{
    // Short lines and small paragraph gaps: the whole notice has to fit the
    // designed 331 x 171 place (Qt's rich text puts 12 px around a paragraph).
    const QString small = QStringLiteral("<p style=\"font-size: 10px; margin-top: 4px; margin-bottom: 0px;\">");
    const QString notice =
        QStringLiteral("<p>软件版本：%1</p>").arg(QCoreApplication::applicationVersion())
        + QStringLiteral("<p>© Quarnel 开发团队，保留所有权利。</p><br/>") + small
        + QStringLiteral("本软件使用 Qt 工具包，依据 GNU LGPL v3 许可使用，许可全文见 "
                         "<a href=\"https://www.gnu.org/licenses/lgpl-3.0.html\">LGPL&nbsp;v3</a>。</p>")
        + small
        + QStringLiteral("Qt 的源代码与许可信息见 <a href=\"https://www.qt.io/licensing/\">qt.io/licensing</a>。</p>");
    _ui->labelContent->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    _ui->labelContent->setTextFormat(Qt::RichText);
    // Wrapped within the label's width, so each line of the notice is whole.
    _ui->labelContent->setWordWrap(true);
    _ui->labelContent->setText(notice);
    _ui->labelContent->setStyleSheet(QStringLiteral("p { line-height: 1em; }"));
    _ui->labelContent->setOpenExternalLinks(true);
}

// The notice's place is fixed by the design and holds it in the fonts it was
// laid out with; a larger font, or one with taller lines, would cut its last
// lines off, so its font shrinks until the whole notice fits.
void AboutForm::fitContent()
{
    QLabel* label = _ui->labelContent;
    QFont font = label->font();
    while (label->heightForWidth(label->width()) > label->height() && font.pointSizeF() > MinimumPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        label->setFont(font);
    }
}
