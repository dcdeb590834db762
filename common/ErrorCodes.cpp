#include "common/ErrorCodes.h"

#include <algorithm>
#include <iterator>

namespace ficha {
namespace {

struct ErrorEntry {
  int code;
  const char* name;
  const char* text;
};

// Sorted by code for binary search.
constexpr ErrorEntry kErrors[] = {
    {8705, "FICHA_BOF", "Beginning of table '%s' unexpectedly encountered"},
    {8706, "FICHA_EOF", "End of table '%s' unexpectedly encountered"},
    {8708, "FICHA_KEYORRECDELETED",
     "Record has been changed or deleted by another user, session, or table cursor in the table "
     "'%s'"},
    {8709, "FICHA_NOCURRREC", "No current record in the table '%s'"},
    {8710, "FICHA_RECNOTFOUND", "Record not found in the table '%s'"},
    {8711, "FICHA_ENDOFBLOB", "End of blob data in the table '%s' reached prematurely"},
    {8961, "FICHA_HEADERCORRUPT", "Header information corrupt in the table '%s'"},
    {8962, "FICHA_FILECORRUPT", "Data record buffers corrupt in the table '%s'"},
    {8963, "FICHA_MEMOCORRUPT", "BLOB block buffers corrupt in the table '%s'"},
    {8965, "FICHA_INDEXCORRUPT", "Index page buffers corrupt in the table '%s'"},
    {9217, "FICHA_READERR", "Error reading from the table '%s'"},
    {9218, "FICHA_WRITEERR", "Error writing to the table '%s'"},
    {9220, "FICHA_FILEDELETEFAIL", "Cannot delete the table '%s'"},
    {9221, "FICHA_FILENOACCESS", "Error accessing header information for the table '%s'"},
    {9477, "FICHA_RECTOOBIG", "Maximum record size exceeded in the table '%s'"},
    {9479, "FICHA_TABLEFULL", "The table '%s' is full and cannot contain any more data"},
    {9482, "FICHA_INTERNALLIMIT", "Too many filters defined for the table '%s'"},
    {9487, "FICHA_INDEXLIMIT",
     "Maximum or minimum limits on number of indexes or fields in an index exceeded in the table "
     "'%s'"},
    {9492, "FICHA_FLDLIMIT",
     "Maximum or minimum limits on number of fields, auto-increment field value, or field size "
     "exceeded in the table '%s'"},
    {9494, "FICHA_OPENBLOBLIMIT", "Too many blobs opened in the table '%s'"},
    {9498, "FICHA_BLOBLIMIT",
     "Too many blob fields or invalid blob block size specified for the table '%s'"},
    {9729, "FICHA_KEYVIOL", "Duplicate key found in the index '%s' of the table '%s'"},
    {9730, "FICHA_MINVALERR",
     "The value for the field '%s' in the table '%s' is below the minimum allowable value"},
    {9731, "FICHA_MAXVALERR",
     "The value for the field '%s' in the table '%s' is above the maximum allowable value"},
    {9732, "FICHA_REQDERR", "A value must be provided for the field '%s' in the table '%s'"},
    {9985, "FICHA_OUTOFRANGE", "Invalid field number or name '%s' specified for the table '%s'"},
    {9993, "FICHA_PRIMARYKEYREDEFINE",
     "A primary index is already defined for the table '%s' and cannot be added again"},
    {9998, "FICHA_INVALIDBLOBOFFSET", "Invalid blob offset into the table '%s' specified"},
    {10000, "FICHA_INVALIDFLDTYPE",
     "Invalid field definition specified for the field '%s' in the table '%s'"},
    {10006, "FICHA_INVALIDVCHKSTRUCT",
     "Invalid default, min or max validity check, or expression specified for the field '%s' in "
     "the table '%s'"},
    {10010, "FICHA_INDEXNAMEREQUIRED",
     "The secondary index name is missing or not specified for the table '%s'"},
    {10015, "FICHA_INVALIDPASSWORD", "Password provided for the table '%s' is invalid"},
    {10022, "FICHA_INVALIDINDEXNAME",
     "Invalid secondary index name '%s' specified for the table '%s'"},
    {10023, "FICHA_INVALIDIDXDESC",
     "Invalid field number '%s' specified in the index '%s' for the table '%s'"},
    {10026, "FICHA_INVALIDKEY", "Invalid key size specified in the index '%s' for the table '%s'"},
    {10027, "FICHA_INDEXEXISTS", "The secondary index '%s' already exists for the table '%s'"},
    {10029, "FICHA_INVALIDBLOBLEN", "Invalid blob length in the table '%s'"},
    {10030, "FICHA_INVALIDBLOBHANDLE", "Invalid blob handle for the table '%s' specified"},
    {10031, "FICHA_TABLEOPEN", "The table '%s' is already in use"},
    {10038, "FICHA_INVALIDFIELDNAME",
     "Invalid or duplicate field name '%s' specified for the table '%s'"},
    {10050, "FICHA_NOSUCHFILTER", "Invalid filter handle specified for the table '%s'"},
    {10051, "FICHA_INVALIDFILTER", "Filter error for the table '%s' - %s"},
    {10055, "FICHA_INVALIDINDEXDELETE", "The primary index cannot be removed from the table '%s'"},
    {10241, "FICHA_LOCKED", "The table '%s' is already locked by another user"},
    {10242, "FICHA_UNLOCKFAILED", "Cannot unlock table or record in the table '%s'"},
    {10249, "FICHA_LOCKTIMEOUT", "General lock failure with the table '%s'"},
    {10253, "FICHA_NEEDEXCLACCESS", "The table '%s' must be opened exclusively"},
    {10258, "FICHA_RECLOCKFAILED", "Record in the table '%s' is in use by another user"},
    {10498, "FICHA_NOTSUFFTABLERIGHTS",
     "Insufficient rights to the table '%s', a password is required"},
    {10753, "FICHA_NOTABLOB", "Invalid blob field '%s' specified for the table '%s'"},
    {10758, "FICHA_NOTINITIALIZED", "The database engine is not initialized"},
    {11010, "FICHA_OSENOENT", "Table '%s' does not exist"},
    {11012, "FICHA_OSEMFILE",
     "Too many operating system files open while attempting to open the table '%s'"},
    {11013, "FICHA_OSEACCES", "Access denied to table '%s'"},
    {11014, "FICHA_OSEBADF", "Invalid operating system file handle for the table '%s'"},
    {11016, "FICHA_OSENOMEM",
     "There is insufficient operating system memory available for the current operation"},
    {11017, "FICHA_OSEINVMEM", "Invalid length for the in-memory table '%s'"},
    {11023, "FICHA_OSENODEV",
     "Access denied to logical operating system device for the table '%s'"},
    {11025, "FICHA_OSENOTSAM", "The table '%s' has been moved"},
    {11047, "FICHA_OSUNKNOWN", "An unknown operating system error %s occurred with the table '%s'"},
    {11276, "FICHA_REMOTECOMMLOST", "The connection to the database server at '%s' has been lost"},
    {11279, "FICHA_REMOTEUNKNOWN",
     "An unknown error ('%s') occurred with the connection to the database server at '%s', please "
     "check the server log"},
    {11280, "FICHA_REMOTECONNECT",
     "A connection to the database server at '%s' cannot be established"},
    {11281, "FICHA_REMOTENOLOGIN",
     "A connection to the database server at '%s' cannot be established, the server is not "
     "accepting new logins"},
    {11282, "FICHA_REMOTEMAXCONNECT",
     "A connection to the database server at '%s' cannot be established, the maximum number of "
     "connections has been reached"},
    {11283, "FICHA_REMOTEADDRESSBLOCK",
     "A connection to the database server at '%s' cannot be established, the client address is "
     "blocked"},
    {11284, "FICHA_REMOTECALLBACK", ""},
    {11285, "FICHA_REMOTECALLBACKERR",
     "A server callback error occurred for the database server at '%s'"},
    {11286, "FICHA_REMOTEVERSION",
     "A call to the database server at '%s' failed, the client engine version does not match the "
     "server"},
    {11287, "FICHA_REMOTEINVLOGIN",
     "A connection to the database server at '%s' cannot be established, the login information "
     "provided is invalid"},
    {11288, "FICHA_REMOTENOTAUTH",
     "The user '%s' is not authorized to perform this operation with the database '%s' on the "
     "database server at '%s'"},
    {11289, "FICHA_REMOTENOTADMIN",
     "The user '%s' is not authorized to perform administration functions on the database server "
     "at '%s'"},
    {11290, "FICHA_REMOTEINVUSER", "The user name is either invalid or blank"},
    {11291, "FICHA_REMOTENOUSER", "The user '%s' does not exist on the database server at '%s'"},
    {11292, "FICHA_REMOTEDUPUSER", "The user '%s' already exists on the database server at '%s'"},
    {11293, "FICHA_REMOTEINVDB", "The database name or directory is either invalid or blank"},
    {11294, "FICHA_REMOTENODB", "The database '%s' does not exist on the database server at '%s'"},
    {11295, "FICHA_REMOTEDUPDB", "The database '%s' already exists on the database server at '%s'"},
    {11296, "FICHA_REMOTEINVDBUSER", "The database user name is either invalid or blank"},
    {11297, "FICHA_REMOTENODBUSER",
     "The database user '%s' does not exist for the database '%s' on the database server at '%s'"},
    {11298, "FICHA_REMOTEDUPDBUSER",
     "The database user '%s' already exists for the database '%s' on the database server at '%s'"},
    {11299, "FICHA_REMOTEINVREQUEST",
     "An invalid or unknown request was made to the database server at '%s'"},
    {11300, "FICHA_IMPORTERROR", "An error occurred during the import into the table '%s' - %s"},
    {11301, "FICHA_EXPORTERROR", "An error occurred during the export from the table '%s' - %s"},
    {11949, "FICHA_SQLPARSE", "SQL error - %s"},
    {12035, "FICHA_OLDVERSION", "The table '%s' is not the correct version"},
    {12292, "FICHA_SEARCHCOLREQD",
     "Invalid field '%s' specified for the index '%s' in the table '%s'"},
    {13060, "FICHA_TABLEEXISTS", "The table '%s' already exists"},
    {15001, "FICHA_COMPRESS", "Error compressing data"},
    {15002, "FICHA_UNCOMPRESS", "Error uncompressing data"},
    {15878, "FICHA_CANNOTLOADLDDRV",
     "The language driver for the table '%s' is not available or installed"},
};

static_assert(std::size(kErrors) == kEngineErrorCount);

const ErrorEntry* Find(int code) {
  auto it = std::lower_bound(std::begin(kErrors), std::end(kErrors), code,
                             [](const ErrorEntry& e, int c) { return e.code < c; });
  if (it == std::end(kErrors) || it->code != code) return nullptr;
  return it;
}

}  // namespace

std::string_view EngineErrorText(int code) {
  const ErrorEntry* e = Find(code);
  return e ? e->text : "";
}

std::string_view EngineErrorName(int code) {
  const ErrorEntry* e = Find(code);
  return e ? e->name : "";
}

}  // namespace ficha
