// The signed statement beside the update list: what update-site writes, the launcher reads back
// exactly, and any change to it after signing, any other key and any deviation from the one
// accepted form is refused with a reason an operator can act on.
#include "signing/signed_statement.h"

#include <gtest/gtest.h>
#include <sodium/crypto_sign.h>

#include <functional>

#include "signing/hex_text.h"

namespace {

Sha256Digest DigestOf(std::string_view text) { return Sha256Of(text); }

SignedStatement SampleStatement() {
  SignedStatement statement;
  statement.version = 7;
  statement.expires = 1767225600;
  statement.list_sha256 = DigestOf("[Download]\r\n[/Download]\r\n");
  statement.packages["main.exe"] = {DigestOf("main"), 1234};
  statement.packages["Data\\Local\\Item.bmd"] = {DigestOf("item"), 0};
  statement.packages["Data\\Local\\Sp\xC3\xA9" "cial item.txt"] = {DigestOf("special"), 2147483647};
  return statement;
}

// Signs `body` (everything before the signature line) as WriteStatement would, so that a test of
// the format proves the format, not the signature, refuses it.
std::string SignBody(const std::string& body, const SecretKey& key, const std::string& key_id) {
  std::array<uint8_t, crypto_sign_BYTES> signature;
  crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(body.data()), body.size(),
                       key.bytes.data());
  return body + "signature " + key_id + " " + HexText(signature) + "\n";
}

std::string BodyOf(const std::string& statement) { return statement.substr(0, statement.find("signature ")); }

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at == std::string::npos) throw std::logic_error("not in the statement: " + from);
  return text.replace(at, from.size(), to);
}

class SignedStatementTest : public ::testing::Test {
 protected:
  SecretKey key_ = GenerateSecretKey();
  SecretKey other_key_ = GenerateSecretKey();
  PublicKey public_key_ = PublicKeyOf(key_);
  std::string written_ = WriteStatement(SampleStatement(), key_);
  // A valid statement rewritten by `edit` and signed again with the site's key.
  std::string Resigned(const std::function<std::string(std::string)>& edit) const {
    return SignBody(edit(BodyOf(written_)), key_, KeyId(public_key_));
  }
};

}  // namespace

TEST(Sha256, MatchesTheStandardsTestVectorsWholeAndInPieces) {
  EXPECT_EQ(Sha256Text(Sha256Of("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Text(Sha256Of("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const std::string long_text = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  Sha256 pieces;
  for (size_t at = 0; at < long_text.size(); at += 5) pieces.Update(long_text.data() + at, std::min<size_t>(5, long_text.size() - at));
  EXPECT_EQ(Sha256Text(pieces.Final()), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST_F(SignedStatementTest, WritesTheFormatAndReadsBackTheSameStatement) {
  const std::string expected_body =
      "launcher-statement 1\n"
      "version 7\n"
      "expires 1767225600\n"
      "list " + Sha256Text(DigestOf("[Download]\r\n[/Download]\r\n")) + "\n"
      "package " + Sha256Text(DigestOf("item")) + " 0 Data\\Local\\Item.bmd\n"
      "package " + Sha256Text(DigestOf("special")) + " 2147483647 Data\\Local\\Sp\xC3\xA9" "cial item.txt\n"
      "package " + Sha256Text(DigestOf("main")) + " 1234 main.exe\n";
  EXPECT_EQ(BodyOf(written_), expected_body);
  const std::string signature_line = written_.substr(expected_body.size());
  EXPECT_EQ(signature_line.size(), std::string("signature  \n").size() + 16 + 128) << signature_line;
  EXPECT_EQ(signature_line.substr(0, 27), "signature " + KeyId(public_key_) + " ");

  StatementCheck check = ReadStatement(written_, {PublicKeyOf(other_key_), public_key_});
  EXPECT_EQ(check.fault, StatementFault::None) << check.reason;
  EXPECT_EQ(check.reason, "");
  EXPECT_EQ(check.key_id, KeyId(public_key_));
  ASSERT_TRUE(check.statement);
  EXPECT_EQ(*check.statement, SampleStatement());

  SignedStatement empty = SampleStatement();
  empty.packages.clear();
  EXPECT_EQ(ReadStatement(WriteStatement(empty, key_), {public_key_}).statement, empty);
}

TEST_F(SignedStatementTest, RefusesEveryDamageWithAReason) {
  struct Case {
    const char* what;
    std::string bytes;
    StatementFault fault;
    std::string reason;  // a part of it
  };
  const std::string other_id = KeyId(PublicKeyOf(other_key_));
  const std::string signature_line = written_.substr(BodyOf(written_).size());
  const size_t signature_digits = written_.size() - 129;
  std::string flipped_signature = written_;
  flipped_signature[signature_digits] = flipped_signature[signature_digits] == '0' ? '1' : '0';
  const std::string item_digest = Sha256Text(DigestOf("item"));
  std::string flipped_item_digest = item_digest;
  flipped_item_digest[10] = item_digest[10] == '0' ? '1' : '0';
  const std::string item_line = "package " + item_digest + " 0 Data\\Local\\Item.bmd\n";
  auto lf_to_crlf = [](std::string body) {
    std::string crlf;
    for (char c : body) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
  };
  const Case cases[] = {
      {"wrong header", Resigned([](std::string b) { return Replaced(b, "launcher-statement 1", "launcher-statement 2"); }),
       StatementFault::Malformed, "line 1: not a statement"},
      {"empty", "", StatementFault::Malformed, "line 1: the statement ends"},
      {"version zero", Resigned([](std::string b) { return Replaced(b, "version 7", "version 0"); }),
       StatementFault::Malformed, "line 2: expected \"version"},
      {"leading zero", Resigned([](std::string b) { return Replaced(b, "version 7", "version 07"); }),
       StatementFault::Malformed, "line 2:"},
      {"sign on a time", Resigned([](std::string b) { return Replaced(b, "expires 1", "expires +1"); }),
       StatementFault::Malformed, "line 3: expected \"expires"},
      {"two blanks", Resigned([](std::string b) { return Replaced(b, "expires ", "expires  "); }),
       StatementFault::Malformed, "line 3:"},
      {"uppercase digest", Resigned([&](std::string b) {
         const std::string list = Sha256Text(DigestOf("[Download]\r\n[/Download]\r\n"));
         std::string upper = list;
         for (char& c : upper) c = static_cast<char>(std::toupper(c));
         return Replaced(b, list, upper);
       }), StatementFault::Malformed, "line 4: expected \"list"},
      {"size beyond 31 bits", Resigned([](std::string b) { return Replaced(b, " 2147483647 ", " 2147483648 "); }),
       StatementFault::Malformed, "line 6: the size must be a whole number from 0 to 2147483647, not \"2147483648\""},
      {"no path", Resigned([&](std::string b) { return Replaced(b, item_line, item_line.substr(0, 74) + " \n"); }),
       StatementFault::Malformed, "line 5: the package line ends without a path"},
      {"tab in a path", Resigned([](std::string b) { return Replaced(b, " main.exe\n", " main\t.exe\n"); }),
       StatementFault::Malformed, "line 7: the path \"main?.exe\" holds a control character"},
      {"duplicate path", Resigned([&](std::string b) { return b + item_line; }), StatementFault::Malformed,
       "line 8: the path \"Data\\Local\\Item.bmd\" is listed a second time"},
      {"unknown line", Resigned([](std::string b) { return b + "comment signed by me\n"; }), StatementFault::Malformed,
       "line 8: expected \"package"},
      {"CR LF line ends", Resigned(lf_to_crlf), StatementFault::Malformed, "line 1:"},
      {"trailing bytes", written_ + "\n", StatementFault::Malformed, "line 9: bytes follow the signature line"},
      {"a second signature", written_ + signature_line, StatementFault::Malformed, "bytes follow the signature line"},
      {"truncated in the signature", written_.substr(0, written_.size() - 1), StatementFault::Malformed,
       "line 8: the line has no line break"},
      {"truncated before the signature", BodyOf(written_), StatementFault::Malformed,
       "line 8: the statement ends where a \"package\" or the \"signature\" line should follow"},
      {"truncated in a line", written_.substr(0, 30), StatementFault::Malformed, "line 2: the line has no line break"},
      {"short signature", written_.substr(0, written_.size() - 3) + "\n", StatementFault::Malformed,
       "line 8: the signature line must hold"},
      {"flipped byte in the body", Replaced(written_, " 1234 main.exe", " 1235 main.exe"), StatementFault::BadSignature,
       "bad signature"},
      {"flipped digit in a digest", Replaced(written_, item_digest, flipped_item_digest), StatementFault::BadSignature,
       "bad signature"},
      {"letter in a digest", Replaced(written_, item_digest, item_digest.substr(0, 63) + "g"), StatementFault::Malformed,
       "line 5: expected \"package"},
      {"flipped signature", flipped_signature, StatementFault::BadSignature, "bad signature"},
      {"another key", WriteStatement(SampleStatement(), other_key_), StatementFault::UnknownKey,
       "signed with key " + other_id + ", which is not trusted (trusted keys: " + KeyId(public_key_) + ")"},
      {"trusted key id, another key's signature", SignBody(BodyOf(written_), other_key_, KeyId(public_key_)),
       StatementFault::BadSignature, "bad signature"},
  };
  for (const Case& c : cases) {
    StatementCheck check = ReadStatement(c.bytes, {public_key_});
    EXPECT_EQ(check.fault, c.fault) << c.what << ": " << check.reason;
    EXPECT_FALSE(check.statement) << c.what;
    EXPECT_NE(check.reason.find(c.reason), std::string::npos) << c.what << ": " << check.reason;
  }
}

TEST_F(SignedStatementTest, WithoutAKeyOnlyTheFormatIsRead) {
  StatementCheck check = ReadStatementUnverified(SignBody(BodyOf(written_), other_key_, "0123456789abcdef"));
  EXPECT_EQ(check.fault, StatementFault::None) << check.reason;
  EXPECT_EQ(check.key_id, "0123456789abcdef");
  EXPECT_EQ(check.statement, SampleStatement());
  EXPECT_EQ(ReadStatementUnverified(written_ + "x").fault, StatementFault::Malformed);
  // Signatures nobody trusts still give way to a newer statement only.
  EXPECT_EQ(ReadStatementVersion(WriteStatement(SampleStatement(), other_key_)), 7u);
  EXPECT_EQ(ReadStatementVersion("launcher-statement 1\nversion 12\nexpi"), 12u);
  for (const char* unreadable : {"", "launcher-statement 1\nversion 12", "launcher-statement 1\nversion 0\n",
                                 "launcher-statement 2\nversion 12\n", "<html>404</html>"}) {
    EXPECT_EQ(ReadStatementVersion(unreadable), std::nullopt) << unreadable;
  }
}

TEST_F(SignedStatementTest, WriterRefusesWhatTheFormatCannotHold) {
  SignedStatement statement = SampleStatement();
  statement.version = 0;
  EXPECT_THROW(WriteStatement(statement, key_), std::invalid_argument);
  for (const char* path : {"", "a\nb", "tab\there"}) {
    statement = SampleStatement();
    statement.packages[path] = {};
    EXPECT_THROW(WriteStatement(statement, key_), std::invalid_argument) << path;
  }
  statement = SampleStatement();
  statement.packages["big"] = {{}, 2147483648u};
  EXPECT_THROW(WriteStatement(statement, key_), std::invalid_argument);
}

TEST(StatementFor, RefusesExpiredOlderAndForeignStatements) {
  SignedStatement statement = SampleStatement();
  const Sha256Digest list = statement.list_sha256;
  const int64_t expires = statement.expires;
  struct Case {
    const char* what;
    int64_t now;
    uint64_t highest;
    Sha256Digest list;
    std::string reason;  // its start; empty when accepted
  };
  const Case cases[] = {
      {"current", expires - 1, 6, list, ""},
      {"same version again", expires - 1, 7, list, ""},
      {"first statement", expires - 100000, 0, list, ""},
      {"at its expiry", expires, 7, list, "expired at 2026-01-01 00:00:00 UTC"},
      {"long expired", expires + 86400 * 365, 7, list, "expired"},
      {"rolled back", expires - 1, 8, list, "older than the accepted version"},
      {"another list", expires - 1, 7, DigestOf("[Download]\r\n"), "does not match the list"},
  };
  for (const Case& c : cases) {
    std::optional<std::string> refusal = CheckStatementFor(statement, c.list, c.now, c.highest);
    if (c.reason.empty()) {
      EXPECT_EQ(refusal, std::nullopt) << c.what;
    } else {
      ASSERT_TRUE(refusal) << c.what;
      EXPECT_EQ(refusal->substr(0, c.reason.size()), c.reason) << c.what << ": " << *refusal;
    }
  }
}

TEST(SigningKeys, PublicKeysHaveOneTextForm) {
  const SecretKey key = GenerateSecretKey();
  const PublicKey public_key = PublicKeyOf(key);
  const std::string text = PublicKeyText(public_key);
  ASSERT_EQ(text.size(), 8u + 64u);
  EXPECT_EQ(ParsePublicKey(text), public_key);
  EXPECT_EQ(KeyId(public_key), text.substr(8, 16));
  std::string upper = text;
  for (size_t i = 8; i < upper.size(); ++i) upper[i] = static_cast<char>(std::toupper(upper[i]));
  const std::string digits = text.substr(8);
  for (const std::string& wrong : {std::string(), upper, digits, "ed25519:" + digits.substr(2),
                                   text + "\n", " " + text, "ED25519:" + digits, "ed25519:" + digits + "00"}) {
    EXPECT_EQ(ParsePublicKey(wrong), std::nullopt) << wrong;
  }
}

TEST(SigningKeys, TheSecretKeyFileReadsBackAndRefusesDamage) {
  const SecretKey key = GenerateSecretKey();
  const std::string file = SecretKeyFileText(key);
  ASSERT_EQ(file.size(), 22u + 128u + 1u);
  EXPECT_EQ(file.substr(0, 22), "launcher-secret-key 1\n");
  std::optional<SecretKey> read = ParseSecretKeyFile(file);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->bytes, key.bytes);

  std::string damaged_public_half = file;
  char& digit = damaged_public_half[22 + 100];
  digit = digit == '0' ? '1' : '0';
  for (const std::string& wrong : {damaged_public_half, file.substr(0, file.size() - 1), file + "\n",
                                   "launcher-secret-key 2\n" + file.substr(22), PublicKeyText(PublicKeyOf(key))}) {
    EXPECT_EQ(ParseSecretKeyFile(wrong), std::nullopt) << wrong;
  }
}
