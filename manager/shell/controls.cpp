#include "shell/controls.h"

namespace tessaly {

void TextControl::SetText(Text text)
{
    m_Text = std::move(text);
    Changed();
}

void TextControl::SetVisible(bool visible)
{
    m_Visible = visible;
    Changed();
}

void ListBox::Clear()
{
    m_Items.clear();
    m_Selected = kNone;
    Changed();
}

void ListBox::Add(Text item)
{
    m_Items.push_back(std::move(item));
    Changed();
}

void ListBox::Select(int index)
{
    m_Selected = index >= 0 && index < Count() ? index : kNone;
    Changed();
}

void ListBox::TakeSelection(int index)
{
    m_Selected = index >= 0 && index < Count() ? index : kNone;
}

void ComboBox::Add(Text item)
{
    m_Items.push_back(std::move(item));
    Changed();
}

void ComboBox::SetText(Text text)
{
    m_Text = std::move(text);
    Changed();
}

void PictureButton::SetBorderStyle(int style)
{
    m_BorderStyle = style;
    Changed();
}

}  // namespace tessaly
