// Shows one form in a real dialog: binds its controls by resource id, shows
// their state, takes the user's typing and choices back before each event,
// turns window messages into the form's events, and draws its pictures.
#pragma once

#include "shell/form.h"

#include <windows.h>

#include <vector>

namespace tessaly {

class Win32Ui;

class DialogView final : public ControlBinder {
public:
    // A modal view loads its form when the dialog starts; the main window's
    // view leaves that to the program, which attaches the window first.
    DialogView(Win32Ui& ui, Form& form, bool modal);
    ~DialogView();
    DialogView(const DialogView&) = delete;
    DialogView& operator=(const DialogView&) = delete;

    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Form& GetForm() const { return m_Form; }
    HWND Window() const { return m_Window; }
    bool Modal() const { return m_Modal; }

    // Model to window: every control whose state changed since last shown.
    void Push();
    // Window to model: typed texts and selections.
    void Pull();

    // ^ControlBinder
    void Bind(int id, TextControl& control) override;
    void Bind(int id, ListBox& control) override;
    void Bind(int id, ComboBox& control) override;
    void Bind(int id, PictureButton& control) override;

private:
    enum class Kind { Label, List, Combo, Picture };
    struct Bound {
        int id;
        Kind kind;
        Control* control;
        HWND window;
        unsigned shownRevision;
        bool editable;
    };

    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Initialise(HWND window);
    void Fire(int id, FormEvent event, const EventArgs& args = {});
    void OnCommand(int id, int notification, HWND control);
    bool OnSetCursor(HWND control);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void FitLabels();
    void CenterOnOwner();
    const Bound* Find(int id) const;
    const Bound* Find(HWND control) const;
    bool HasBackground() const;
    static LRESULT CALLBACK PictureButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                   UINT_PTR subclassId, DWORD_PTR data);

    Win32Ui& m_Ui;
    Form& m_Form;
    bool m_Modal;
    HWND m_Window = nullptr;
    int m_Dpi = 96;
    std::vector<Bound> m_Bound;
    std::vector<HFONT> m_Fonts;
};

}  // namespace tessaly
