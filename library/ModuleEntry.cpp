#include "library/ModuleEntry.h"

#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include <cstring>

scadlav::Cinterface* PDUO_KVB_SCADLAV_CreateObject(const char* className) {
    if (!className || std::strcmp(className, PDUO_KVB_SCADLAV_CLASS_NAME) != 0)
        return nullptr;
    try {
        return new scadlav::CLSPD_KVB_SCADLAV([] { return new scadlav::FRMPD_KVB_SCADLAV(); });
    } catch (...) {
        return nullptr;
    }
}

void PDUO_KVB_SCADLAV_DestroyObject(scadlav::Cinterface* object) {
    delete object;
}
