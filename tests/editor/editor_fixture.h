#pragma once
// The editor window started headless in a fresh current directory, with real
// photos and movies beside it and a scripted person at its dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "../map/temp_folder.h"
#include "../media/jpeg_fixtures.h"
#include "editor/app_fonts.h"
#include "editor/form1.h"
#include "editor/formclickermark.h"
#include "scripted_desktop.h"

namespace mw::test {

class EditorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    UseApplicationFonts();
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
    here_ = std::filesystem::current_path().string();
  }
  void TearDown() override {
    form_.reset();
    std::filesystem::current_path(previous_);
  }

  // Makes the editor window without running any event, so no timer tick has come yet.
  TForm1& Create() {
    MoviePlayer::Options silent;
    silent.audio = false;
    form_ = std::make_unique<TForm1>(desktop_, EditorOptions{here_ + "/", silent});
    form_->AttachWindows({nullptr, &markForm_});
    return *form_;
  }
  // Starts the editor; the map named in the settings file (if any) is loaded. Without
  // one, an empty default map is there already, so no first-use guide comes at a tick.
  TForm1& Start() {
    if (!std::filesystem::exists("markweaver.ini") && !std::filesystem::exists("map1.clm"))
      WriteText("map1.clm", "markweaverdata1.01\r\n640\r\n520\r\n");
    Create();
    form_->SetOuterSize({640, 520});
    form_->show();
    QTest::qWait(1);
    return *form_;
  }

  // A real photo in the test folder; gives its full path.
  std::string Photo(const std::string& name, int width = 64, int height = 48) {
    std::string path = here_ + "/" + name;
    WriteJpeg(path, width, height);
    return path;
  }
  // A copy of one of the small real movies; gives its full path.
  std::string Movie(const std::string& name) {
    std::string path = here_ + "/" + name;
    std::filesystem::copy_file(std::string(MW_TEST_DATA_DIR) + "/media/rgb.mpg", path);
    return path;
  }

  template <typename T>
  T* Control(const char* name) {
    T* control = form_->findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  // The person answers the mark dialog with a target, a message and a button.
  void AnswerMarkDialog(const std::string& target, const std::string& message, bool back) {
    desktop_.dialogScripts.push_back([=](QDialog& dialog) {
      auto& form = static_cast<TClickerMarkForm&>(dialog);
      form.show();
      form.SetNextClipText(target);
      form.SetHintMessageText(message);
      QTest::mouseClick(
          form.findChild<QWidget*>(back ? "Button1" : "EditClickerMarkOkButton"), Qt::LeftButton);
      return form.result();
    });
  }

  TempFolder folder_;
  std::filesystem::path previous_;
  std::string here_;
  ScriptedDesktop desktop_;
  TClickerMarkForm markForm_{desktop_};
  std::unique_ptr<TForm1> form_;
};

}  // namespace mw::test
