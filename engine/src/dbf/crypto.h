// Table encryption: the password mark in a DBF header and the stream cipher
// over record and memo bytes.  Pure byte-buffer functions; the table code
// decides when to call them.
//
// An encrypted table carries a mark in the header bytes 12-31, which dBASE III
// leaves free:
//
// | offset | size | meaning                                                   |
// |--------|------|-----------------------------------------------------------|
// | 12     | 2    | mark 0xE7 0x5C                                            |
// | 14     | 1    | scheme version, 2                                         |
// | 15     | 1    | zero                                                      |
// | 16     | 8    | random salt: new when the table is created and at a zap   |
// | 24     | 4    | password check: first 4 bytes of BLAKE2b(key, "check")     |
// | 28     | 2    | zero (other programs read an index flag and a code page)  |
// | 30     | 2    | mark checksum: first 2 bytes of BLAKE2b over bytes 12-29  |
//
// Key: 32 bytes of Argon2id (libsodium's crypto_pwhash) over the password
// bytes, 2 passes over 32 MiB, one lane.  Argon2id takes 16 salt bytes: the
// 8 random header bytes followed by the label "sde61tk2"; 64 random bits keep
// the salts of different tables (and of one table before and after a zap)
// apart.  Being memory-hard, the hash makes every password guess against a
// stolen table cost the same time and memory as an open; the parameters keep
// that at some 50 ms (measured on the build machine), once per open of the
// table and once per zap, so that the host opening its parameter table and
// the test suite opening many tables stay quick.  Version 1 tables (key from
// one fast hash) are refused as an unknown version.
//
// Records: every byte after the deletion flag is XORed with the XChaCha20
// stream of the table key and the nonce "R" + record number (4 bytes LE) +
// zeros, so the flag stays readable and each record has its own stream.
// Memos: the text is XORed with the stream of nonce "M" + first block number
// + zeros, then escaped so that the stored payload holds no 0x1A (the memo
// terminator): 0x1A is stored as 0x1B 0x01 and 0x1B as 0x1B 0x02.
//
// What the fixed record layout cannot hide: the stream of a record depends
// only on the key and the record number, and records keep their place and
// length.  A record rewritten in place (an edit, a deletion undone, a blank
// record filled in) is XORed with the same stream as before, so whoever holds
// two copies of the file learns which bytes of it changed, and the XOR of the
// old and the new plain bytes there; a copy of the table (CopyTo) keeps the
// salt and shares every stream with its source.  The deletion flag, the
// number of records, the field layout and the lengths of memos stay readable,
// and NTX index files hold their keys in plain text.  A zap gives the table a
// new salt and with it a new key, so records written after it share no
// stream with the records it removed.
#ifndef SDE61_DBF_CRYPTO_H
#define SDE61_DBF_CRYPTO_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace sde {

constexpr size_t kCryptoMarkOffset = 12;
constexpr size_t kCryptoMarkSize = 20;
// Smallest header buffer the mark functions read: bytes 0-31.
constexpr size_t kCryptoHeaderMin = kCryptoMarkOffset + kCryptoMarkSize;

// True when the header (at least kCryptoHeaderMin bytes) carries the mark of
// an encrypted table with a checksum that holds.  A header that only begins
// like the mark (a foreign table using these bytes) is a plain table's.
bool HasEncryptionMark(const uint8_t* header);

// The key of one encrypted table and the operations that use it.  Copyable;
// the key and password bytes are wiped when an object goes away.
class TableEncryption {
  public:
    // Opens the cipher of an encrypted table from its header with a password.
    // Corruption when the mark is missing, damaged or of an unknown version;
    // InvalidArgument "Wrong password for table <file_name>" when the
    // password does not match the check value.
    static Result<TableEncryption> Open(const uint8_t* header, std::string_view password,
                                        std::string_view file_name);

    // Writes the mark for a new table encrypted with password into header
    // bytes 12-31 (a fresh random salt) and returns its cipher.
    // InvalidArgument for an empty password.
    static Result<TableEncryption> Create(std::string_view password, uint8_t* header);
    // As Create, with a given salt (8 bytes): for tests only.
    static Result<TableEncryption> CreateWithSalt(std::string_view password, const uint8_t* salt,
                                                  uint8_t* header);

    // Gives the table a fresh random salt and the key that goes with it:
    // writes the new mark into header bytes 12-31 and switches this object
    // to the new key.  Called when a table is emptied, so that no record
    // written afterwards shares a stream with one written before.  On
    // failure neither the header nor this object changes.
    Status Renew(uint8_t* header);

    TableEncryption(const TableEncryption& other);
    TableEncryption& operator=(const TableEncryption& other);
    ~TableEncryption();

    // Encrypts or decrypts (the same operation) a whole record in place:
    // record[0] is the deletion flag and stays as it is, record[1..length)
    // are the field bytes of record number recno.
    void CryptRecord(uint32_t recno, uint8_t* record, size_t length) const;
    void EncryptRecord(uint32_t recno, uint8_t* record, size_t length) const {
        CryptRecord(recno, record, length);
    }
    void DecryptRecord(uint32_t recno, uint8_t* record, size_t length) const {
        CryptRecord(recno, record, length);
    }
    // The same on the field bytes alone: fields points at the byte after the
    // deletion flag and length counts the field bytes.
    void CryptFields(uint32_t recno, uint8_t* fields, size_t length) const;

    // The payload to store for a memo text starting at block: no 0x1A in it,
    // at most twice as long as text.
    std::string EncryptMemo(uint32_t block, std::string_view text) const;
    // The text of a stored payload; Corruption when the escapes are broken.
    Result<std::string> DecryptMemo(uint32_t block, std::string_view payload) const;
    // In-place forms: *text becomes the payload / the text.  On a
    // Corruption status *text is left as it was.
    void EncryptMemo(uint32_t block, std::string* text) const { *text = EncryptMemo(block, *text); }
    Status DecryptMemo(uint32_t block, std::string* text) const;

  private:
    TableEncryption() = default;
    static Result<TableEncryption> FromKeyMaterial(std::string_view password, const uint8_t* salt);
    void Wipe();

    uint8_t key_[32] = {};
    // The password, kept for Renew (the key of a new salt needs it).
    std::vector<uint8_t> password_;
};

}  // namespace sde

#endif  // SDE61_DBF_CRYPTO_H
