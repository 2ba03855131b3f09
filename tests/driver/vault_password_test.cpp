// The password transform of the vault file's header block.
#include "vault_image.h"

#include "support/stored_passwords.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

namespace {

using Field = std::array<UCHAR, VaultImage::PasswordFieldBytes>;

Field Encode(Field field)
{
    VaultImage::EncodePassword(*reinterpret_cast<VaultImage::PasswordField*>(field.data()));
    return field;
}

Field Decode(Field field)
{
    VaultImage::DecodePassword(*reinterpret_cast<VaultImage::PasswordField*>(field.data()));
    return field;
}

TEST(VaultPassword, EncodesTheTextAbcAsDocumented)
{
    Field plain{};
    const UCHAR abc[] = {0x61, 0x00, 0x62, 0x00, 0x63, 0x00};
    std::memcpy(plain.data(), abc, sizeof abc);

    Field expected{};
    const UCHAR head[] = {0x9E, 0x9D, 0x3A, 0x39};
    std::memcpy(expected.data(), head, sizeof head);
    // From byte 4 on the sum stays put and each byte is one less than the last.
    for (std::size_t i = 4; i < expected.size(); ++i) {
        expected[i] = static_cast<UCHAR>(0xD5 - (i - 4));
    }
    EXPECT_EQ(Encode(plain), expected);
    EXPECT_EQ(expected.back(), 0xBA);
}

TEST(VaultPassword, EncodesAllZeroAsADescendingRun)
{
    Field expected{};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i] = static_cast<UCHAR>(0xFF - i);
    }
    EXPECT_EQ(Encode(Field{}), expected);
    EXPECT_EQ(expected.back(), 0xE0);
}

// The known answers that other tests compare vault files with.
TEST(VaultPassword, TheTestsStoredPasswordsAreWhatTheEncoderWrites)
{
    for (const korvel::test::StoredPassword& row : korvel::test::kStoredPasswords) {
        SCOPED_TRACE(row.password);
        Field plain{};
        for (std::size_t i = 0; row.password[i] != '\0'; ++i) {
            plain[2 * i] = static_cast<UCHAR>(row.password[i]);
        }
        const Field encoded = Encode(plain);
        EXPECT_TRUE(std::equal(encoded.begin(), encoded.end(), row.stored.begin()));
    }
}

TEST(VaultPassword, DecodeUndoesEncodeAndEncodeUndoesDecode)
{
    std::vector<Field> fields;
    fields.push_back(Field{});
    Field ones;
    ones.fill(0xFF);
    fields.push_back(ones);
    std::mt19937 random(20261210);
    for (int i = 0; i < 2000; ++i) {
        Field field;
        for (auto& byte : field) {
            byte = static_cast<UCHAR>(random());
        }
        fields.push_back(field);
    }
    for (const Field& field : fields) {
        ASSERT_EQ(Decode(Encode(field)), field);
        ASSERT_EQ(Encode(Decode(field)), field);
    }
}

}  // namespace
