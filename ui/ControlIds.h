#pragma once

// The control identifiers of TForm1's windows (GetDlgCtrlID), its timer and its menu
// commands, and the class names of the program's windows. A test driver finds the controls
// by these numbers, so they never change.

namespace ControlId {
enum : int {
    Label1 = 101,
    Label2,
    Label3,
    Label4,
    Label5,
    Label6,
    Label7,
    Label8,
    Label9,
    Label10,
    Label11,
    Label12,
    Label13,
    Label14,
    Label15,
    Label16,
    Label17,  // the way the router is reached, when it is not its web pages
    Edit1 = 201,
    Edit2,
    Edit3,
    Edit4,
    CheckBox1 = 301,
    CheckBox2,
    CheckBox3,
    CheckBox5 = 305,
    GroupBox1 = 401,
    GroupBox2,
    LinkLabel1 = 501,
    Button1 = 601,
    Button2,
    Button3,
    Button4,
    Button5,
};
}  // namespace ControlId

// PopupMenu1's entries, as the command identifiers its menu window receives.
namespace MenuCommand {
enum : unsigned {
    IP1 = 1,  // "更换IP"
    N2 = 2,   // "反馈意见"
    N1 = 3,   // "退出"
};
}  // namespace MenuCommand

// Timer1 is a window timer of the main window with this identifier.
inline constexpr unsigned kTimer1Id = 1;

inline constexpr char kMainWindowClass[] = "TForm1";
inline constexpr char kApplicationWindowClass[] = "TApplication";
inline constexpr char kPopupListWindowClass[] = "TPopupList";
