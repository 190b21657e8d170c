#pragma once

namespace rowvane::app {

// Location texts of the trapped handlers, quoted by the "Application Error"
// report. Each ends with one blank, which the report relies on.
inline constexpr char kFormLoadLocation[] = "in Rowvane2017/04/05.Form1.Form_Load ";
inline constexpr char kPushButton1Location[] = "in Rowvane2017/04/05.Form1.PushButton1_Click ";
inline constexpr char kPushButton4Location[] = "in Rowvane2017/04/05.Form1.PushButton4_Click ";
inline constexpr char kPushButton5Location[] = "in Rowvane2017/04/05.Form1.PushButton5_Click ";
inline constexpr char kPushButton7Location[] = "in Rowvane2017/04/05.Form1.PushButton7_Click ";
inline constexpr char kPushButton8Location[] = "in Rowvane2017/04/05.Form1.PushButton8_Click ";
inline constexpr char kPushButton9Location[] = "in Rowvane2017/04/05.Form1.PushButton9_Click ";

}  // namespace rowvane::app
