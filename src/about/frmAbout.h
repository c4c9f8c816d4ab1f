#pragma once
// The about box: title, version and company from the program's version record.
#include <QWidget>
#include <memory>

namespace Ui {
class frmAbout;
}

namespace korima::about {

class frmAbout : public QWidget {
  Q_OBJECT
 public:
  explicit frmAbout(QWidget& mainWindow);
  ~frmAbout() override;

  void Form_Load();
  void cmdOK_Click();
  void Form_Unload();
  Ui::frmAbout& Form() { return *ui_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::unique_ptr<Ui::frmAbout> ui_;
  QWidget& main_;
  bool unloaded_ = false;
};

}  // namespace korima::about
