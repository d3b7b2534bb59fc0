#pragma once

// The module library's whole exported surface: a plain C factory for its public class, loaded
// by the host at run time.

namespace scadlav {
class Cinterface;
} // namespace scadlav

#define SCADLAV_MODULE_EXPORT __attribute__((visibility("default")))

// The class name under which the host asks for the module class.
#define PDUO_KVB_SCADLAV_CLASS_NAME "PDUO_KVB_SCADLAV.CLSPD_KVB_SCADLAV"

extern "C" {
// A new module class for PDUO_KVB_SCADLAV_CLASS_NAME; nullptr for any other name.
SCADLAV_MODULE_EXPORT scadlav::Cinterface* PDUO_KVB_SCADLAV_CreateObject(const char* className);
// Ends an object made by PDUO_KVB_SCADLAV_CreateObject (its termination runs here).
SCADLAV_MODULE_EXPORT void PDUO_KVB_SCADLAV_DestroyObject(scadlav::Cinterface* object);
}

// The same two functions as the host resolves them.
using PDUO_KVB_SCADLAV_CreateObjectFn = scadlav::Cinterface* (*)(const char*);
using PDUO_KVB_SCADLAV_DestroyObjectFn = void (*)(scadlav::Cinterface*);
