#pragma once

// The style sheet, icons, translation and parameter name table are compiled into a static
// library; a static library's resources are only linked in when someone asks for them.
class Resources
{
public:
    // Registers every compiled-in resource. Safe to call more than once.
    static void init();
};
