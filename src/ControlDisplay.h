#pragma once
// The panel's value line: the name of the parameter that moved and its value
// as text, from the panel description's value list for the parameter where
// there is one.
class Halvoran;

class ControlDisplay {
public:
    // Shows paramIdx at value (plain) in the status and value lines and in the
    // text displays bound to the parameter. Nothing before the editor has
    // finished starting.
    static void controlDisplay(Halvoran* plug, int paramIdx, double value);
    // The name of the value list that names the values of paramIdx, or null.
    static const char* valueListFor(int paramIdx);
};
