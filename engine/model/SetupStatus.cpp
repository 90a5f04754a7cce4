#include "engine/model/SetupStatus.h"

const char* StatusName(int status)
{
    switch (status) {
    case STATUS_INSTALL_ERROR:
        return "install_error";
    case STATUS_INSTALL_START:
        return "install_start";
    case STATUS_INSTALL_SETLANGUAGE:
        return "install_setlanguage";
    case STATUS_INSTALL_CHECKOPEN:
        return "install_checkopen";
    case STATUS_INSTALL_CHECK:
        return "install_check";
    case STATUS_INSTALL_WAIT:
        return "install_wait";
    case STATUS_INSTALL_UNINSTALL:
        return "install_uninstall";
    case STATUS_INSTALL_SETUPMUTEX:
        return "install_setupmutex";
    case STATUS_INSTALL_PROCESSLIST:
        return "install_processlist";
    case STATUS_INSTALL_RUNLIST:
        return "install_runlist";
    case STATUS_INSTALL_SUCCESS:
        return "install_success";
    case STATUS_UNINSTALL_ERROR:
        return "uninstall_error";
    case STATUS_UNINSTALL_START:
        return "uninstall_start";
    case STATUS_UNINSTALL_SETLANGUAGE:
        return "uninstall_setlanguage";
    case STATUS_UNINSTALL_CHECKOPEN:
        return "uninstall_checkopen";
    case STATUS_UNINSTALL_CHECK:
        return "uninstall_check";
    case STATUS_UNINSTALL_WAIT:
        return "uninstall_wait";
    case STATUS_UNINSTALL_PROCESSLIST:
        return "uninstall_processlist";
    case STATUS_UNINSTALL_SUCCESS:
        return "uninstall_success";
    default:
        return "";
    }
}
