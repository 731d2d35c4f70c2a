#include "document/builtin_module_table.h"

namespace tf {

namespace {

// Old archives store a module's type as its position here: rows are never
// moved or removed, a retired type keeps its row (10 is such a hole).
constexpr builtin_module_row builtin_rows[] = {
    {"Audio Out", 0x108},               // 1
    {"ADSR", 0x100},                    // 2
    {"Container", 0x103},               // 3
    {"IO Mod", 0x106},                  // 4
    {"Slider", 0x180},                  // 5
    {"Text Entry", 0x180},              // 6
    {"List Entry", 0x180},              // 7
    {"MIDI Player", 0x100},             // 8
    {"Midi to CV", 0x160},              // 9
    {"", 0},                            // 10
    {"Level Adj", 0x100},               // 11
    {"SV Filter", 0x100},               // 12
    {"VCA", 0x100},                     // 13
    {"Drum Trigger", 0x160},            // 14
    {"Patch Select", 0x100},            // 15
    {"MIDI In", 0x100},                 // 16
    {"Delay", 0x100},                   // 17
    {"MIDI Adder(obsolete)", 0x008},    // 18
    {"Clipper", 0x100},                 // 19
    {"Monitor", 0x180},                 // 20
    {"Filter2 obsolete", 0x100},        // 21
    {"Thrasher", 0x100},                // 22
    {"Switch", 0x108},                  // 23
    {"Switch2", 0x108},                 // 24
    {"Filter obs", 0x108},              // 25
    {"Inverter", 0x100},                // 26
    {"Sample Player obsolete", 0x168},  // 27
    {"Notesource", 0x008},              // 28
    {"Audio In", 0x108},                // 29
    {"MIDI Out", 0x100},                // 30
    {"Controllers", 0x100},             // 31
    {"VoiceMonitor", 0x108},            // 32
    {"Button", 0x188},                  // 33
    {"Z-Filter obsolete", 0x100},       // 34
    {"Panel Group", 0x080},             // 35
    {"X-Mix", 0x100},                   // 36
    {"Pan", 0x100},                     // 37
    {"Switch (1->Many)", 0x100},        // 38
    {"Switch (Many->1)", 0x100},        // 39
    {"VST Plugin", 0x108},              // 40
    {"Peak Follower", 0x100},           // 41
    {"Line", 0x108},                    // 42
    {"Group", 0x088},                   // 43
    {"Step Sequencer", 0x180},          // 44
    {BUILTIN_TABLE_END, 0},
};

constexpr source_unit_module_row source_unit_rows[] = {
    {"Control Group", 120, 0x88},
    {"Image", -1, 0x180},
    {"Joystick Image", -1, 0x180},
    {"Tinted Image", -1, 0x180},
    {"List Entry2", -1, 0x180},
    {"Text Entry2", -1, 0x180},
    {"Sub Panel", 102, 0x80},
    {"Paged Group", -1, 0x180},
    {"Freq Response Test", 59, 0x100},
    {"8 Stage Env", 50, 0x100},
    {"Float Adder", 71, 0x8},
    {"MIDI Adder2", 74, 0x8},
    {"Comparator", 98, 0x100},
    {"Control Plugs", 121, 0x100},
    {"Trigger to MIDI", 126, 0x100},
    {"Delay2", 117, 0x100},
    {"Denormal Detector", 105, 0x100},
    {"Denormal Cleaner", 104, 0x100},
    {"Multistage Env", 96, 0x180},
    {"Feedback Delay", 124, 0x100},
    {"1 Pole HP", 101, 0x100},
    {"1 Pole LP", 58, 0x100},
    {"All Pass", 67, 0x100},
    {"Moog Filter", 48, 0x100},
    {"Parametric EQ", 109, 0x100},
    {"Fixed Values", 62, 0x100},
    {"Freq Analyser", 68, 0x180},
    {"GenProg", 78, 0x100},
    {"GenProg Trigger", 79, 0x100},
    {"Peak Meter", 60, 0x180},
    {"LED Indicator", 49, 0x180},
    {"Binary Counter", 82, 0x100},
    {"Step Counter2", 125, 0x100},
    {"Step Counter", 93, 0x100},
    {"Decade Counter", 83, 0x100},
    {"NOR Gate", 57, 0x100},
    {"NAND Gate", 55, 0x100},
    {"XOR Gate", 54, 0x100},
    {"OR Gate", 53, 0x100},
    {"AND Gate", 52, 0x100},
    {"NOT Gate", 56, 0x100},
    {"Shift Register", 85, 0x100},
    {"Ceil", 112, 0x100},
    {"Divide", 107, 0x100},
    {"Floor", 111, 0x100},
    {"Multiply", 106, 0x100},
    {"Subtract", 108, 0x100},
    {"MIDI Automator", 90, 0x140},
    {"MIDI Automator Output", 91, 0x8},
    {"MIDI Filter", 92, 0x100},
    {"KeyBoard", 64, 0x180},
    {"MIDI Monitor", 77, 0x180},
    {"MIDI Recorder", 81, 0x100},
    {"Monostable", 89, 0x100},
    {"Ring Modulator", 61, 0x100},
    {"Soundfont Oscillator", 114, 0x180},
    {"Oscillator", 0, 0x100},
    {"Phase Dist Osc", 87, 0x100},
    {"Patch Mem - Text in", -1, 0x100},
    {"Plugin", 113, 0x100},
    {"Quantiser", 103, 0x100},
    {"random", -1, 0x100},
    {"Rectifier", 51, 0x100},
    {"Sample and Hold", 65, 0x100},
    {"Soundfont Player", 86, 0x1E0},
    {"Sound In", 116, 0x100},
    {"Sound Out", 115, 0x100},
    {"Drum Sequencer", 46, 0x180},
    {"OS Command", 110, 0x100},
    {"1 KHz Tone", 80, 0x100},
    {"Voice Combiner", 118, 0x100},
    {"Volt Meter", 100, 0x180},
    {"Voltage To List", 99, 0x100},
    // The only two types whose display texts this library carries itself.
    {"VST Input", 94, 0x8, 494},
    {"VST Output", 95, 0x8, 495},
    {"Wave Player", 122, 0x100},
    {"Wave Recorder", 123, 0x100},
    {"WaveShaper", 47, 0x180},
    {"WaveShaper2", 76, 0x180},
    {"Image to Frame", -1, 0x100},
    {"Bool Splitter", -1, 0x100},
    {"Bools to List", -1, 0x100},
    {"List To Bools", -1, 0x100},
    {"Float To Bool", -1, 0x100},
    {"Increment", -1, 0x100},
    {"Increment2", -1, 0x100},
    {"Int to List", -1, 0x100},
    {"Patch Parameter - Level Out", -1, 0x100},
    {"Spring", -1, 0x100},
    {"System Command2", -1, 0x100},
    {"Text To Float", -1, 0x100},
};

}  // namespace

std::span<const builtin_module_row> builtin_module_rows() { return builtin_rows; }

std::span<const source_unit_module_row> source_unit_module_rows() { return source_unit_rows; }

}  // namespace tf
