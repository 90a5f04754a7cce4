#pragma once
// The entry table of our HTML engine, sciter32.dll. The DLL exports one
// function, SciterAPI, which returns the table; every call goes through it.
// All entries are plain C so that the host and the engine share no C++ ABI.
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* HELEMENT;
typedef void* HSARCHIVE;

// ---- Values ----------------------------------------------------------------
// A script value held by the host. Initialise with ValueInit, release with
// ValueClear. Strings, arrays, maps and script objects live behind `data`.
typedef struct VALUE {
    UINT t;    // VALUE_TYPE
    UINT u;    // units: see below
    UINT64 d;  // integer / bool / double bits, or the payload pointer
} VALUE;

enum VALUE_TYPE {
    T_UNDEFINED = 0,
    T_NULL = 1,
    T_BOOL = 2,
    T_INT = 3,
    T_FLOAT = 4,
    T_STRING = 5,
    T_ARRAY = 9,    // array built by the host (elements copied)
    T_MAP = 10,     // key/value map built by the host (keys in order)
    T_OBJECT = 13,  // reference to a live script object, see OBJECT_UNITS
};

enum OBJECT_UNITS {
    UT_OBJECT_OBJECT = 0,
    UT_OBJECT_ARRAY = 1,
    UT_OBJECT_FUNCTION = 2,
};

enum VALUE_RESULT {
    HV_OK = 0,
    HV_BAD_PARAMETER = 1,
    HV_INCOMPATIBLE_TYPE = 2,
    HV_SCRIPT_ERROR = 3,
};

// Conversions of ValueToString / ValueFromString.
enum VALUE_STRING_CVT_TYPE {
    CVT_SIMPLE = 0,        // plain text of a scalar
    CVT_JSON_LITERAL = 1,  // JSON text
};

// ---- Host callback ---------------------------------------------------------
enum SC_NOTIFICATION {
    SC_LOAD_DATA = 1,
    SC_ATTACH_BEHAVIOR = 4,
};

typedef struct SCITER_CALLBACK_NOTIFICATION {
    UINT code;
    HWND hwnd;
} SCITER_CALLBACK_NOTIFICATION;

// Answer of the host to SC_LOAD_DATA.
enum SC_LOAD_DATA_RETURN_CODES {
    LOAD_OK = 0,       // use the bytes given with SciterDataReady or outData, or load it ourselves
    LOAD_DISCARD = 1,  // the resource is refused
};

enum RESOURCE_TYPE {
    RT_DATA_HTML = 0,
    RT_DATA_IMAGE = 1,
    RT_DATA_STYLE = 2,
    RT_DATA_CURSOR = 3,
    RT_DATA_SCRIPT = 4,
    RT_DATA_RAW = 5,
};

typedef struct SCN_LOAD_DATA {
    UINT code;  // SC_LOAD_DATA
    HWND hwnd;
    LPCWSTR uri;      // absolute URL
    LPCBYTE outData;  // the host may set these instead of calling SciterDataReady
    UINT outDataSize;
    UINT dataType;  // RESOURCE_TYPE
    LPVOID requestId;
    HELEMENT principal;
} SCN_LOAD_DATA;

typedef BOOL(CALLBACK* ElementEventProc)(LPVOID tag, HELEMENT he, UINT evtg, LPVOID prms);

typedef struct SCN_ATTACH_BEHAVIOR {
    UINT code;  // SC_ATTACH_BEHAVIOR
    HWND hwnd;
    HELEMENT element;
    LPCSTR behaviorName;
    ElementEventProc elementProc;  // out
    LPVOID elementTag;             // out
} SCN_ATTACH_BEHAVIOR;

typedef UINT(CALLBACK* SciterHostCallback)(SCITER_CALLBACK_NOTIFICATION* pns, LPVOID callbackParam);

// ---- Event handlers --------------------------------------------------------
enum EVENT_GROUPS {
    HANDLE_INITIALIZATION = 0x0000,         // INITIALIZATION_PARAMS, always delivered
    HANDLE_MOUSE = 0x0001,                  // MOUSE_PARAMS
    HANDLE_KEY = 0x0002,                    // KEY_PARAMS
    HANDLE_FOCUS = 0x0004,                  // FOCUS_PARAMS
    HANDLE_SCRIPTING_METHOD_CALL = 0x0100,  // SCRIPTING_METHOD_PARAMS
    HANDLE_ALL = 0xFFFF,
};

enum INITIALIZATION_EVENTS { BEHAVIOR_DETACH = 0, BEHAVIOR_ATTACH = 1 };
typedef struct INITIALIZATION_PARAMS {
    UINT cmd;
} INITIALIZATION_PARAMS;

enum MOUSE_EVENTS { MOUSE_ENTER = 0, MOUSE_LEAVE = 1, MOUSE_MOVE = 2, MOUSE_UP = 3, MOUSE_DOWN = 4, MOUSE_CLICK = 5 };
typedef struct MOUSE_PARAMS {
    UINT cmd;
    HELEMENT target;
    POINT pos;      // window client coordinates
    UINT buttons;   // 1 main, 2 secondary
    UINT altState;  // 1 ctrl, 2 shift, 4 alt
} MOUSE_PARAMS;

enum KEY_EVENTS { KEY_DOWN = 0, KEY_UP = 1, KEY_CHAR = 2 };
typedef struct KEY_PARAMS {
    UINT cmd;
    HELEMENT target;
    UINT keyCode;
    UINT altState;
} KEY_PARAMS;

enum FOCUS_EVENTS { FOCUS_LOST = 0, FOCUS_GOT = 1 };
typedef struct FOCUS_PARAMS {
    UINT cmd;
    HELEMENT target;
} FOCUS_PARAMS;

// A script call on `view` (or on an element with a native behaviour). The
// handler sets `result` (initialised to undefined) and returns TRUE when it
// handled the call; unhandled calls go to the engine's own view functions.
typedef struct SCRIPTING_METHOD_PARAMS {
    LPCSTR name;
    const VALUE* argv;
    UINT argc;
    VALUE result;
} SCRIPTING_METHOD_PARAMS;

// ---- DOM results -----------------------------------------------------------
enum SCDOM_RESULT {
    SCDOM_OK = 0,
    SCDOM_INVALID_HWND = 1,
    SCDOM_INVALID_HANDLE = 2,
    SCDOM_PASSIVE_HANDLE = 3,
    SCDOM_INVALID_PARAMETER = 4,
    SCDOM_OPERATION_FAILED = 5,
    SCDOM_OK_NOT_HANDLED = -1,
};

typedef void(CALLBACK* LPCWSTR_RECEIVER)(LPCWSTR str, UINT num_chars, LPVOID param);

// ---- Options ---------------------------------------------------------------
enum SCITER_RT_OPTIONS {
    SCITER_TRANSPARENT_WINDOW = 6,  // 1: the window's alpha comes from the page (layered windows)
};

// ---- The table -------------------------------------------------------------
typedef struct ISciterAPI {
    UINT version;

    LRESULT(WINAPI* SciterProcND)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, BOOL* pbHandled);
    VOID(WINAPI* SciterSetCallback)(HWND hwnd, SciterHostCallback cb, LPVOID cbParam);
    BOOL(WINAPI* SciterWindowAttachEventHandler)(HWND hwnd, ElementEventProc pep, LPVOID tag, UINT subscription);
    BOOL(WINAPI* SciterWindowDetachEventHandler)(HWND hwnd, ElementEventProc pep, LPVOID tag);
    BOOL(WINAPI* SciterLoadHtml)(HWND hwnd, LPCBYTE html, UINT htmlSize, LPCWSTR baseUrl);
    BOOL(WINAPI* SciterLoadFile)(HWND hwnd, LPCWSTR url);
    BOOL(WINAPI* SciterDataReady)(HWND hwnd, LPCWSTR uri, LPCBYTE data, UINT dataLength);
    BOOL(WINAPI* SciterDataReadyAsync)(HWND hwnd, LPCWSTR uri, LPCBYTE data, UINT dataLength, LPVOID requestId);
    BOOL(WINAPI* SciterSetOption)(HWND hwnd, UINT option, UINT_PTR value);

    UINT(WINAPI* Sciter_UseElement)(HELEMENT he);
    UINT(WINAPI* Sciter_UnuseElement)(HELEMENT he);
    UINT(WINAPI* SciterGetRootElement)(HWND hwnd, HELEMENT* phe);
    UINT(WINAPI* SciterGetAttributeByNameCB)(HELEMENT he, LPCSTR name, LPCWSTR_RECEIVER rcv, LPVOID rcvParam);
    UINT(WINAPI* SciterGetElementHwnd)(HELEMENT he, HWND* pHwnd, BOOL rootWindow);
    UINT(WINAPI* SciterAttachHwndToElement)(HELEMENT he, HWND hwnd);

    BOOL(WINAPI* SciterGetArchiveItem)(HSARCHIVE harc, LPCWSTR path, LPCBYTE* pdata, UINT* pdataLength);

    UINT(WINAPI* ValueInit)(VALUE* pval);
    UINT(WINAPI* ValueClear)(VALUE* pval);
    UINT(WINAPI* ValueCopy)(VALUE* pdst, const VALUE* psrc);
    UINT(WINAPI* ValueType)(const VALUE* pval, UINT* pType, UINT* pUnits);
    UINT(WINAPI* ValueStringData)(const VALUE* pval, LPCWSTR* pChars, UINT* pNumChars);
    UINT(WINAPI* ValueStringDataSet)(VALUE* pval, LPCWSTR chars, UINT numChars, UINT units);
    UINT(WINAPI* ValueIntData)(const VALUE* pval, INT* pData);
    UINT(WINAPI* ValueIntDataSet)(VALUE* pval, INT data, UINT type, UINT units);
    UINT(WINAPI* ValueFloatData)(const VALUE* pval, double* pData);
    UINT(WINAPI* ValueFloatDataSet)(VALUE* pval, double data, UINT type, UINT units);
    UINT(WINAPI* ValueElementsCount)(const VALUE* pval, INT* pN);
    UINT(WINAPI* ValueNthElementValue)(const VALUE* pval, INT n, VALUE* pRetval);
    UINT(WINAPI* ValueNthElementValueSet)(VALUE* pval, INT n, const VALUE* pValToSet);
    UINT(WINAPI* ValueNthElementKey)(const VALUE* pval, INT n, VALUE* pRetval);
    UINT(WINAPI* ValueSetValueToKey)(VALUE* pval, const VALUE* pKey, const VALUE* pValToSet);
    UINT(WINAPI* ValueGetValueOfKey)(const VALUE* pval, const VALUE* pKey, VALUE* pRetval);
    UINT(WINAPI* ValueToString)(VALUE* pval, UINT how);
    UINT(WINAPI* ValueFromString)(VALUE* pval, LPCWSTR str, UINT strLength, UINT how);
    UINT(WINAPI* ValueInvoke)
    (const VALUE* pval, VALUE* pThis, UINT argc, const VALUE* argv, VALUE* pRetval, LPCWSTR url);

    // The script interface of the engine; called once by the host.
    LPVOID(WINAPI* TIScriptAPI)(void);
} ISciterAPI;

typedef ISciterAPI*(WINAPI* SciterAPI_ptr)(void);

// The DLL's one export, "SciterAPI" (undecorated), has the type SciterAPI_ptr;
// hosts look it up with GetProcAddress.

#ifdef __cplusplus
}
#endif
