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
// | 14     | 1    | scheme version, 1                                         |
// | 15     | 1    | zero                                                      |
// | 16     | 8    | random salt of this table                                 |
// | 24     | 4    | password check: first 4 bytes of BLAKE2b(key, "check")     |
// | 28     | 2    | zero (other programs read an index flag and a code page)  |
// | 30     | 2    | mark checksum: first 2 bytes of BLAKE2b over bytes 12-29  |
//
// Key: 32 bytes of BLAKE2b over a fixed label, the salt and the password
// bytes.  It is a plain hash, not a slow password hash, because tables are
// opened often; the salt keeps equal passwords from giving equal keys.
//
// Records: every byte after the deletion flag is XORed with the XChaCha20
// stream of the table key and the nonce "R" + record number (4 bytes LE) +
// zeros, so the flag stays readable and each record has its own stream.
// Memos: the text is XORed with the stream of nonce "M" + first block number
// + zeros, then escaped so that the stored payload holds no 0x1A (the memo
// terminator): 0x1A is stored as 0x1B 0x01 and 0x1B as 0x1B 0x02.
//
// A record rewritten in place reuses its stream; the scheme hides the data
// from a reader without the password, it does not hide which bytes changed
// between two copies of the same file.
#ifndef SDE61_CRYPTO_H
#define SDE61_CRYPTO_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "status.h"

namespace sde {

constexpr size_t kCryptoMarkOffset = 12;
constexpr size_t kCryptoMarkSize = 20;
// Smallest header buffer the mark functions read: bytes 0-31.
constexpr size_t kCryptoHeaderMin = kCryptoMarkOffset + kCryptoMarkSize;

// True when the header (at least kCryptoHeaderMin bytes) carries the mark of
// an encrypted table, damaged or not.
bool HasEncryptionMark(const uint8_t* header);

// The key of one encrypted table and the operations that use it.  Copyable;
// the key bytes are wiped when an object goes away.
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

    uint8_t key_[32] = {};
};

}  // namespace sde

#endif  // SDE61_CRYPTO_H
