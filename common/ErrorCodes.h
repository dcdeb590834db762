// Engine error codes and their message texts.
//
// Inside the engine an operation returns 0 (FICHA_NONE) or the negated code;
// the cursor and the component layer raise the code as EFichaEngineError.
#pragma once

#include <cstdint>
#include <string_view>

namespace ficha {

constexpr int FICHA_NONE = 0;
constexpr int FICHA_BOF = 8705;
constexpr int FICHA_EOF = 8706;
constexpr int FICHA_KEYORRECDELETED = 8708;
constexpr int FICHA_NOCURRREC = 8709;
constexpr int FICHA_RECNOTFOUND = 8710;
constexpr int FICHA_ENDOFBLOB = 8711;
constexpr int FICHA_HEADERCORRUPT = 8961;
constexpr int FICHA_FILECORRUPT = 8962;
constexpr int FICHA_MEMOCORRUPT = 8963;
constexpr int FICHA_INDEXCORRUPT = 8965;
constexpr int FICHA_READERR = 9217;
constexpr int FICHA_WRITEERR = 9218;
constexpr int FICHA_FILEDELETEFAIL = 9220;
constexpr int FICHA_FILENOACCESS = 9221;
constexpr int FICHA_RECTOOBIG = 9477;
constexpr int FICHA_TABLEFULL = 9479;
constexpr int FICHA_INTERNALLIMIT = 9482;
constexpr int FICHA_INDEXLIMIT = 9487;
constexpr int FICHA_FLDLIMIT = 9492;
constexpr int FICHA_OPENBLOBLIMIT = 9494;
constexpr int FICHA_BLOBLIMIT = 9498;
constexpr int FICHA_KEYVIOL = 9729;
constexpr int FICHA_MINVALERR = 9730;
constexpr int FICHA_MAXVALERR = 9731;
constexpr int FICHA_REQDERR = 9732;
constexpr int FICHA_OUTOFRANGE = 9985;
constexpr int FICHA_PRIMARYKEYREDEFINE = 9993;
constexpr int FICHA_INVALIDBLOBOFFSET = 9998;
constexpr int FICHA_INVALIDFLDTYPE = 10000;
constexpr int FICHA_INVALIDVCHKSTRUCT = 10006;
constexpr int FICHA_INDEXNAMEREQUIRED = 10010;
constexpr int FICHA_INVALIDPASSWORD = 10015;
constexpr int FICHA_INVALIDINDEXNAME = 10022;
constexpr int FICHA_INVALIDIDXDESC = 10023;
constexpr int FICHA_INVALIDKEY = 10026;
constexpr int FICHA_INDEXEXISTS = 10027;
constexpr int FICHA_INVALIDBLOBLEN = 10029;
constexpr int FICHA_INVALIDBLOBHANDLE = 10030;
constexpr int FICHA_TABLEOPEN = 10031;
constexpr int FICHA_INVALIDFIELDNAME = 10038;
constexpr int FICHA_NOSUCHFILTER = 10050;
constexpr int FICHA_INVALIDFILTER = 10051;
constexpr int FICHA_INVALIDINDEXDELETE = 10055;
constexpr int FICHA_LOCKED = 10241;
constexpr int FICHA_UNLOCKFAILED = 10242;
constexpr int FICHA_LOCKTIMEOUT = 10249;
constexpr int FICHA_NEEDEXCLACCESS = 10253;
constexpr int FICHA_RECLOCKFAILED = 10258;
constexpr int FICHA_NOTSUFFTABLERIGHTS = 10498;
constexpr int FICHA_NOTABLOB = 10753;
constexpr int FICHA_NOTINITIALIZED = 10758;
constexpr int FICHA_OSENOENT = 11010;
constexpr int FICHA_OSEMFILE = 11012;
constexpr int FICHA_OSEACCES = 11013;
constexpr int FICHA_OSEBADF = 11014;
constexpr int FICHA_OSENOMEM = 11016;
constexpr int FICHA_OSEINVMEM = 11017;
constexpr int FICHA_OSENODEV = 11023;
constexpr int FICHA_OSENOTSAM = 11025;
constexpr int FICHA_OSUNKNOWN = 11047;
constexpr int FICHA_REMOTECOMMLOST = 11276;
constexpr int FICHA_REMOTEUNKNOWN = 11279;
constexpr int FICHA_REMOTECONNECT = 11280;
constexpr int FICHA_REMOTENOLOGIN = 11281;
constexpr int FICHA_REMOTEMAXCONNECT = 11282;
constexpr int FICHA_REMOTEADDRESSBLOCK = 11283;
constexpr int FICHA_REMOTECALLBACK = 11284;
constexpr int FICHA_REMOTECALLBACKERR = 11285;
constexpr int FICHA_REMOTEVERSION = 11286;
constexpr int FICHA_REMOTEINVLOGIN = 11287;
constexpr int FICHA_REMOTENOTAUTH = 11288;
constexpr int FICHA_REMOTENOTADMIN = 11289;
constexpr int FICHA_REMOTEINVUSER = 11290;
constexpr int FICHA_REMOTENOUSER = 11291;
constexpr int FICHA_REMOTEDUPUSER = 11292;
constexpr int FICHA_REMOTEINVDB = 11293;
constexpr int FICHA_REMOTENODB = 11294;
constexpr int FICHA_REMOTEDUPDB = 11295;
constexpr int FICHA_REMOTEINVDBUSER = 11296;
constexpr int FICHA_REMOTENODBUSER = 11297;
constexpr int FICHA_REMOTEDUPDBUSER = 11298;
constexpr int FICHA_REMOTEINVREQUEST = 11299;
constexpr int FICHA_IMPORTERROR = 11300;
constexpr int FICHA_EXPORTERROR = 11301;
constexpr int FICHA_SQLPARSE = 11949;
constexpr int FICHA_OLDVERSION = 12035;
constexpr int FICHA_SEARCHCOLREQD = 12292;
constexpr int FICHA_TABLEEXISTS = 13060;
constexpr int FICHA_COMPRESS = 15001;
constexpr int FICHA_UNCOMPRESS = 15002;
constexpr int FICHA_CANNOTLOADLDDRV = 15878;

// Number of codes in the table below.
constexpr int kEngineErrorCount = 91;

// Message text of an engine error code, with its "%s" placeholders still
// unfilled; empty when the code has no text of its own (unknown codes and
// FICHA_REMOTECALLBACK).
std::string_view EngineErrorText(int code);

// Constant name of an engine error code ("FICHA_EOF"); empty for unknown codes.
std::string_view EngineErrorName(int code);

}  // namespace ficha
