// The two advice dialogs: the read-me ("使用说明") and the backup advice
// ("备份和还原"). Each shows a fixed text over a background picture and
// closes on its close picture.
#pragma once

#include "shell/form.h"

namespace tessaly {

enum class Advice { ReadMe, Backup };

// The dialog's text: its items joined by two carriage returns (no line
// feed), which show as an empty line between items.
Text AdviceText(Advice advice);

class AdviceDialog : public Form {
public:
    AdviceDialog(Ui& ui, Advice advice) : Form(ui), m_Advice(advice) {}

    int DialogId() const override;
    void BindControls(ControlBinder& binder) override;
    void Load() override;
    void OnEvent(int controlId, FormEvent event, const EventArgs& args) override;

    const TextControl& Label1() const { return m_Label1; }
    const PictureButton& Image2() const { return m_Image2; }

private:
    Advice m_Advice;
    TextControl m_Label1;
    PictureButton m_Image2;
};

}  // namespace tessaly
