#include "engine/engine_constants.h"

#include "modules/pin_types.h"

namespace tf {

const char* GetStatString(int state) {
    switch (state) {
        case ST_STOP: return "ST_STOP";
        case ST_STATIC: return "ST_STATIC";
        case ST_RUN: return "ST_RUN";
        default: return "GetStatString ERROR";
    }
}

const char* GetDirectionString(int direction) {
    switch (direction) {
        case DR_IN: return "DR_IN";
        case DR_OUT: return "DR_OUT";
        case DR_CONTAINER_IO: return "DR_CONTAINER_IO";
        case DR_PARAMETER: return "DR_PARAMETER";
        default: return "unknowen";
    }
}

const char* GetEventTypeString(int type) {
    switch (type) {
        case UET_STAT_CHANGE: return "UET_STAT_CHANGE";
        case UET_SUSPEND: return "UET_SUSPEND";
        case UET_MIDI: return "UET_MIDI";
        case UET_RUN_FUNCTION: return "UET_RUN_FUNCTION";
        case UET_IO_FUNC: return "UET_IO_FUNC";
        case UET_UI_NOTIFY: return "UET_UI_NOTIFY";
        case UET_PROG_CHANGE: return "UET_PROG_CHANGE";
        default: return "UnKnowen";
    }
}

}  // namespace tf
