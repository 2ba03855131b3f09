#include "shell/form.h"

#include "shell/texts.h"
#include "shell/ui.h"

namespace tessaly {

MessageAnswer Ui::ShowMessage(const Text& text, MessageButtons buttons)
{
    return ShowMessageBox(text, texts::kAppTitle, buttons);
}

void Form::Unload()
{
    m_Ui.Unload(*this);
}

}  // namespace tessaly
