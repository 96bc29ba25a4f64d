#pragma once

class CShellServices;
class IMainWindowServices;

// The two preferences the main window's panel changes: the language (language list) and the
// skin (skin button). Both are written to the configuration and take effect at the next start.
class CPreferenceActions {
public:
    CPreferenceActions(CShellServices &services, IMainWindowServices &window);

    // The language list's selection changed to position. The in-memory position follows at
    // once, even when the operator then cancels; only a confirmed change is written, and the
    // notice that follows is in the chosen language. Returns whether the change was saved.
    bool changeLanguage(int position);
    // Lets the operator pick a skin file and stores its file name (without folder). Returns
    // whether a skin was chosen.
    bool chooseSkin();

private:
    CShellServices &m_services;
    IMainWindowServices &m_window;
};
