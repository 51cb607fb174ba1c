#pragma once

// The design of a window's controls as data: one row per control, read by the window that
// creates them and by the test driver that finds them again by their control ID.
enum class ControlKind {
  Picture,   // draws a picture (or nothing) over the background
  Area,      // a clickable picture without content
  Label,     // one line of text, sized to its text, anchored at its left edge
  CheckBox,
  ProgressBar,
  GroupBox,
  RadioButton,
  Edit,
  Button,
};

enum class CursorKind { Arrow, Hand };

struct ControlSpec {
  int id;
  const char* name;  // UTF-8, the control's name in the design
  ControlKind kind;
  int left, top, width, height;
  bool visible;
  CursorKind cursor;
  int parent_id;  // 0: the window itself
};
