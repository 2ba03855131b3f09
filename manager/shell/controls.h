// What a dialog's controls hold, as plain data. The dialogs' decisions read
// and change these; on Windows a thin layer shows them in real controls and
// takes the user's typing and choices back before each event.
#pragma once

#include "support/text.h"

#include <vector>

namespace tessaly {

// Every change counts up the revision, so that a view can tell what to redraw.
class Control {
public:
    unsigned Revision() const { return m_Revision; }

protected:
    void Changed() { ++m_Revision; }

private:
    unsigned m_Revision = 1;
};

// A caption, a label or a text box.
class TextControl : public Control {
public:
    const Text& GetText() const { return m_Text; }
    void SetText(Text text);
    bool Visible() const { return m_Visible; }
    void SetVisible(bool visible);
    // What the user typed, taken from the window: not a change to show.
    void TakeTyped(Text text) { m_Text = std::move(text); }

private:
    Text m_Text;
    bool m_Visible = true;
};

// A list box: lines of text and at most one selected line.
class ListBox : public Control {
public:
    static constexpr int kNone = -1;

    int Count() const { return static_cast<int>(m_Items.size()); }
    const Text& Item(int index) const { return m_Items.at(static_cast<std::size_t>(index)); }
    const std::vector<Text>& Items() const { return m_Items; }
    int Selected() const { return m_Selected; }

    void Clear();
    void Add(Text item);
    void Select(int index);
    // The user's choice, taken from the window: not a change to show.
    void TakeSelection(int index);

private:
    std::vector<Text> m_Items;
    int m_Selected = kNone;
};

// A drop-down box: its lines and the text in its edit part.
class ComboBox : public Control {
public:
    const std::vector<Text>& Items() const { return m_Items; }
    const Text& GetText() const { return m_Text; }
    void Add(Text item);
    void SetText(Text text);
    void TakeTyped(Text text) { m_Text = std::move(text); }

private:
    std::vector<Text> m_Items;
    Text m_Text;
};

// A picture that serves as a button. Border style 1 is its pressed look, a
// single-line border, shown while the mouse button is held on it.
class PictureButton : public Control {
public:
    int BorderStyle() const { return m_BorderStyle; }
    void SetBorderStyle(int style);

private:
    int m_BorderStyle = 0;
};

}  // namespace tessaly
