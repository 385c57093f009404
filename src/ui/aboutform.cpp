#include "aboutform.h"

#include "ui_aboutform.h"

#include <QCoreApplication>
#include <QPixmap>

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
}

AboutForm::~AboutForm()
{
    delete _ui;
}

void AboutForm::on_pushButtonClose_clicked()
{
    hide();
}

void AboutForm::showLogo()
{
    const QPixmap logo(QStringLiteral(":/images/logo.png"));
    _ui->labelLogo->setPixmap(logo);
    _ui->labelLogo->resize(logo.size());
}

void AboutForm::showTitle()
{
    _ui->labelTitle->setAlignment(Qt::AlignHCenter);
    _ui->labelTitle->setText(QStringLiteral("<p style=\"font-size: 18px;\">关于Quarnel</p>"));
}

void AboutForm::showContent()
{
    const QString notice =
        QStringLiteral("<p>软件版本：%1</p>").arg(QCoreApplication::applicationVersion())
        + QStringLiteral("<p>本软件版权归 Quarnel 开发团队所有，保留所有权利。</p><br/>"
                         "<p style=\"font-size: 10px;\">本软件使用 Qt 工具包，依据 GNU LGPL v3 许可使用，"
                         "许可全文见 <a href=\"https://www.gnu.org/licenses/lgpl-3.0.html\">LGPL v3</a>。</p>"
                         "<p style=\"font-size: 10px;\">Qt 的源代码与许可信息见 "
                         "<a href=\"https://www.qt.io/licensing/\">qt.io/licensing</a>。</p>");
    _ui->labelContent->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    _ui->labelContent->setTextFormat(Qt::RichText);
    _ui->labelContent->setText(notice);
    _ui->labelContent->setStyleSheet(QStringLiteral("p { line-height: 1em; }"));
    _ui->labelContent->setOpenExternalLinks(true);
}
