#include "shell/form.h"

#include "shell/texts.h"
#include "shell/ui.h"

namespace tessaly {

MessageAnswer Ui::ShowMessage(const Text& text, MessageButtons buttons)
{
    return ShowMessageBox(text, texts::kAppTitle, buttons);
}

void ShowPressedLook(PictureButton& picture, FormEvent event)
{
    if (event == FormEvent::MouseDown) {
        picture.SetBorderStyle(1);
    } else if (event == FormEvent::MouseUp) {
        picture.SetBorderStyle(0);
    }
}

void Form::Unload()
{
    m_Ui.Unload(*this);
}

}  // namespace tessaly
