#include "frmAbout.h"

#include "desktop/Charset.h"
#include "desktop/Placement.h"
#include "platform/Version.h"
#include "ui_frmAbout.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace korima::about {

frmAbout::frmAbout(QWidget& mainWindow) : ui_(std::make_unique<Ui::frmAbout>()), main_(mainWindow) {
  ui_->setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose);
  desktop::MakeFixedDialog(this, &main_);
  connect(ui_->cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
}

frmAbout::~frmAbout() = default;

void frmAbout::Form_Load() {
  desktop::ApplyJapaneseCharset(this);
  desktop::CenterOverWhenShown(this, &main_);
  main_.setEnabled(false);
  const platform::VersionRecord& v = platform::AppVersion();
  setWindowTitle(v.Title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
  ui_->lblVersion->setText(QStringLiteral("Ver.%1.%2.%3").arg(v.Major).arg(v.Minor).arg(v.Revision));
  ui_->lblTitle->setText(v.Title);
  ui_->lblCompany->setText(v.CompanyName);
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  main_.show();
  main_.setEnabled(true);
}

void frmAbout::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

// cmdOK is both the default and the cancel button.
void frmAbout::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      ui_->cmdOK->click();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace korima::about
