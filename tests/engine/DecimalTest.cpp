#include "engine/xml/expression/Decimal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace rowvane {
namespace {

// What reading a text gives: its shortest writing, or the status's word.
std::string Reading(const DecimalReading& reading) {
  switch (reading.status) {
    case DecimalReading::Status::Number:
      return reading.value.toString();
    case DecimalReading::Status::Empty:
      return "<empty>";
    case DecimalReading::Status::NotNumber:
      return "<not a number>";
    case DecimalReading::Status::OutOfRange:
      return "<out of range>";
  }
  return "";
}

struct ReadCase {
  std::string text;
  std::string expected;
};

TEST(DecimalTest, ReadsByThePlainRule) {
  const std::string max38(38, '9');
  const ReadCase cases[] = {
      {"5", "5"},
      {"5.", "5"},
      {".5", "0.5"},
      {"-0.25", "-0.25"},
      {"+7", "7"},
      {" \t12.50 \t", "12.5"},
      {"-0", "0"},
      {"-.000", "0"},
      {"007.0700", "7.07"},
      {"1000", "1000"},
      {"", "<empty>"},
      {" \t ", "<empty>"},
      {".", "<not a number>"},
      {"-", "<not a number>"},
      {"- 5", "<not a number>"},
      {"1e5", "<not a number>"},
      {"1,000", "<not a number>"},
      {"1.2.3", "<not a number>"},
      {"0x10", "<not a number>"},
      {"\n5", "<not a number>"},
      {"5\xC2\xA0", "<not a number>"},
      {"++5", "<not a number>"},
      {max38, max38},
      {"-" + max38, "-" + max38},
      {max38 + "9", "<out of range>"},
      {max38 + ".0000", max38},
      {"1" + std::string(30, '0'), "1" + std::string(30, '0')},
      {"0." + std::string(19, '0') + "1", "0." + std::string(19, '0') + "1"},
      {"0." + std::string(20, '0') + "1", "<out of range>"},
      {"1." + std::string(20, '0') + "000", "1"},
      {std::string(18, '9') + "." + std::string(20, '9'),
       std::string(18, '9') + "." + std::string(20, '9')},
      {std::string(19, '9') + "." + std::string(20, '9'), "<out of range>"},
      {std::string(60, '0') + "12", "12"},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(Reading(ReadDecimal(c.text)), c.expected) << "'" << c.text << "'";
  }
}

struct MarkCase {
  std::string text;
  std::string mark;
  std::string group;
  std::string expected;
};

TEST(DecimalTest, ReadsWithAMarkAndAGroup) {
  const MarkCase cases[] = {
      {"1.250,00", ",", ".", "1250"},
      {"-1.250,5", ",", ".", "-1250.5"},
      {" 1 250,75 ", ",", " ", "1250.75"},
      {"1.5", ",", "", "<not a number>"},
      {"1,5", ",", "", "1.5"},
      {"1'000'000.25", ".", "'", "1000000.25"},
      {"1\xE2\x80\x99"
       "000,5",
       ",", "\xE2\x80\x99", "1000.5"},
      {"12,", ",", ".", "12"},
      {",5", ",", ".", "0.5"},
      {"1,2,3", ",", ".", "<not a number>"},
      {"1,2.3", ",", ".", "<not a number>"},
      {".", ",", ".", "<not a number>"},
      {"", ",", ".", "<empty>"},
  };
  for (const MarkCase& c : cases) {
    EXPECT_EQ(Reading(ReadDecimal(c.text, c.mark, c.group)), c.expected) << "'" << c.text << "'";
  }
}

Decimal D(const std::string& text) {
  const DecimalReading reading = ReadDecimal(text);
  EXPECT_EQ(reading.status, DecimalReading::Status::Number) << text;
  return reading.value;
}

struct ArithmeticCase {
  std::string a;
  char op;
  std::string b;
  std::string expected;  // or the error's text
};

std::string Compute(const Decimal& a, char op, const Decimal& b) {
  try {
    switch (op) {
      case '+':
        return (a + b).toString();
      case '-':
        return (a - b).toString();
      case '*':
        return (a * b).toString();
      default:
        return (a / b).toString();
    }
  } catch (const DecimalError& error) {
    return error.what();
  }
}

TEST(DecimalTest, ComputesExactly) {
  const std::string max38(38, '9');
  const ArithmeticCase cases[] = {
      {"1.50", '+', "2.50", "4"},
      {"0.1", '+', "0.2", "0.3"},
      {"-0.25", '+', "0.25", "0"},
      {"1", '-', "1.000001", "-0.000001"},
      {"3", '*', "-0.5", "-1.5"},
      {"-2", '*', "-2", "4"},
      {"0", '*', "-5", "0"},
      {"1", '/', "3", "0.33333333333333333333"},
      {"2", '/', "3", "0.66666666666666666667"},
      {"-2", '/', "3", "-0.66666666666666666667"},
      {"1", '/', "8", "0.125"},
      {"10", '/', "4", "2.5"},
      {"0.00000000000000000001", '/', "2", "0.00000000000000000001"},
      {"-0.00000000000000000001", '/', "2", "-0.00000000000000000001"},
      {"0.00000000000000000001", '/', "3", "0"},
      {"5", '/', "0", "division by zero"},
      {"0", '/', "0.000", "division by zero"},
      {max38, '+', "1", "number out of range"},
      {max38, '-', "-1", "number out of range"},
      {max38, '-', "1", std::string(37, '9') + "8"},
      {"-" + max38, '+', max38, "0"},
      {"0.00000000000000000001", '*', "0.1", "number out of range"},
      {"0.0000000001", '*', "0.0000000001", "0.00000000000000000001"},
      {"10000000000000000000", '*', "10000000000000000000", "number out of range"},
      {"1000000000000000000", '*', "10000000000000000000", "1" + std::string(37, '0')},
      {"1" + std::string(30, '0'), '+', "0.5", "1" + std::string(30, '0') + ".5"},
      {"1" + std::string(30, '0'), '+', "0.00000000000000000001", "number out of range"},
      // Operands scaled past 128 bits, with an exact result that fits.
      {"1710000000000000000", '+', "-800000000000000000.00000000000000000001",
       "909999999999999999.99999999999999999999"},
      {"1" + std::string(37, '0'), '/', "0.5", "2" + std::string(37, '0')},
      {"1" + std::string(37, '0'), '/', "0.2", "5" + std::string(37, '0')},
      {"1" + std::string(37, '0'), '/', "0.3", "number out of range"},
      {"1" + std::string(20, '0'), '/', "0.00000000000000000001", "number out of range"},
      {"12345678901234567", '/', "0.00000000000000000001",
       "12345678901234567" + std::string(20, '0')},
      {"12345678901234567", '/', "0.00000000000000000003", "number out of range"},
  };
  for (const ArithmeticCase& c : cases) {
    EXPECT_EQ(Compute(D(c.a), c.op, D(c.b)), c.expected) << c.a << ' ' << c.op << ' ' << c.b;
  }
}

struct FormatCase {
  std::string value;
  int places;
  std::string expected;
};

TEST(DecimalTest, FormatsWithFixedPlaces) {
  const FormatCase cases[] = {
      {"1250", 2, "1250.00"},
      {"-0.001", 2, "0.00"},
      {"0.005", 2, "0.01"},
      {"-0.005", 2, "-0.01"},
      {"2.345", 2, "2.35"},
      {"2.344999", 2, "2.34"},
      {"99.995", 2, "100.00"},
      {"7", 0, "7"},
      {"7.5", 0, "8"},
      {"-7.5", 0, "-8"},
      {"-0.4", 0, "0"},
      {"0", 3, "0.000"},
      {"0.1", 20, "0.10000000000000000000"},
      {std::string(38, '9'), 20, std::string(38, '9') + "." + std::string(20, '0')},
      {std::string(18, '9') + "." + std::string(20, '9'), 2, "1" + std::string(18, '0') + ".00"},
  };
  for (const FormatCase& c : cases) {
    std::string out;
    D(c.value).appendFormatted(c.places, out);
    EXPECT_EQ(out, c.expected) << c.value << " to " << c.places;
  }
}

TEST(DecimalTest, OrdersAndKnowsWholeNumbers) {
  EXPECT_LT(D("-1"), D("0"));
  EXPECT_LT(D("0.1"), D("0.11"));
  EXPECT_LT(D("-0.11"), D("-0.1"));
  EXPECT_EQ(D("2.0"), D("2"));
  EXPECT_GT(D(std::string(38, '9')), D("0." + std::string(19, '0') + "1"));
  EXPECT_LT(D("-" + std::string(38, '9')), D("-0." + std::string(19, '0') + "1"));
  EXPECT_EQ(D("12").wholeValue(), 12);
  EXPECT_EQ(D("-3").wholeValue(), -3);
  EXPECT_EQ(D("1.5").wholeValue(), std::nullopt);
  EXPECT_EQ(D(std::string(30, '9')).wholeValue(), INT64_MAX);
  EXPECT_EQ(Decimal::FromInteger(INT64_MIN).toString(), "-9223372036854775808");
  EXPECT_EQ((-D("0")).toString(), "0");
}

// A reference model: signed integers of any size as decimal digits, with
// every number held as its value times 10^40.
struct Big {
  bool negative = false;
  std::vector<int> digits;  // least significant first, no leading zeros; zero is empty
};

constexpr int kModelScale = 40;

int CompareMagnitude(const Big& a, const Big& b) {
  if (a.digits.size() != b.digits.size()) {
    return a.digits.size() < b.digits.size() ? -1 : 1;
  }
  for (std::size_t i = a.digits.size(); i-- > 0;) {
    if (a.digits[i] != b.digits[i]) {
      return a.digits[i] < b.digits[i] ? -1 : 1;
    }
  }
  return 0;
}

void Trim(Big& a) {
  while (!a.digits.empty() && a.digits.back() == 0) {
    a.digits.pop_back();
  }
  if (a.digits.empty()) {
    a.negative = false;
  }
}

Big AddMagnitudes(const Big& a, const Big& b) {
  Big sum;
  int carry = 0;
  for (std::size_t i = 0; i < std::max(a.digits.size(), b.digits.size()) || carry; ++i) {
    const int digit =
        carry + (i < a.digits.size() ? a.digits[i] : 0) + (i < b.digits.size() ? b.digits[i] : 0);
    sum.digits.push_back(digit % 10);
    carry = digit / 10;
  }
  Trim(sum);
  return sum;
}

Big SubtractMagnitudes(const Big& a, const Big& b) {  // |a| >= |b|
  Big difference;
  int borrow = 0;
  for (std::size_t i = 0; i < a.digits.size(); ++i) {
    int digit = a.digits[i] - borrow - (i < b.digits.size() ? b.digits[i] : 0);
    borrow = digit < 0 ? 1 : 0;
    difference.digits.push_back(digit + 10 * borrow);
  }
  Trim(difference);
  return difference;
}

Big Add(const Big& a, const Big& b) {
  Big result;
  if (a.negative == b.negative) {
    result = AddMagnitudes(a, b);
    result.negative = a.negative;
  } else if (CompareMagnitude(a, b) >= 0) {
    result = SubtractMagnitudes(a, b);
    result.negative = a.negative;
  } else {
    result = SubtractMagnitudes(b, a);
    result.negative = b.negative;
  }
  Trim(result);
  return result;
}

Big Negated(Big a) {
  a.negative = !a.negative;
  Trim(a);
  return a;
}

Big Multiply(const Big& a, const Big& b) {
  Big product;
  product.digits.assign(a.digits.size() + b.digits.size() + 1, 0);
  for (std::size_t i = 0; i < a.digits.size(); ++i) {
    int carry = 0;
    for (std::size_t j = 0; j < b.digits.size() || carry; ++j) {
      const int digit =
          product.digits[i + j] + carry + (j < b.digits.size() ? a.digits[i] * b.digits[j] : 0);
      product.digits[i + j] = digit % 10;
      carry = digit / 10;
    }
  }
  product.negative = a.negative != b.negative;
  Trim(product);
  return product;
}

Big ShiftUp(Big a, int places) {
  if (!a.digits.empty()) {
    a.digits.insert(a.digits.begin(), static_cast<std::size_t>(places), 0);
  }
  return a;
}

// The magnitude of a / b, truncated, and the remainder's.
std::pair<Big, Big> DivideMagnitudes(const Big& a, const Big& b) {
  Big quotient;
  Big remainder;
  quotient.digits.assign(a.digits.size(), 0);
  for (std::size_t i = a.digits.size(); i-- > 0;) {
    remainder = ShiftUp(remainder, 1);
    if (remainder.digits.empty()) {
      remainder.digits.push_back(a.digits[i]);
    } else {
      remainder.digits[0] = a.digits[i];
    }
    Trim(remainder);
    Big positive = b;
    positive.negative = false;
    while (CompareMagnitude(remainder, positive) >= 0) {
      remainder = SubtractMagnitudes(remainder, positive);
      ++quotient.digits[i];
    }
  }
  Trim(quotient);
  return {quotient, remainder};
}

Big FromText(const std::string& text) {
  Big value;
  std::string digits;
  std::size_t point = text.find('.');
  const std::string whole = text.substr(
      text[0] == '-' ? 1 : 0,
      point == std::string::npos ? std::string::npos : point - (text[0] == '-' ? 1 : 0));
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  fraction.resize(kModelScale, '0');
  digits = whole + fraction;
  for (std::size_t i = digits.size(); i-- > 0;) {
    value.digits.push_back(digits[i] - '0');
  }
  value.negative = text[0] == '-';
  Trim(value);
  return value;
}

// The model's number as a Decimal writes it, or "number out of range".
std::string ToText(const Big& value) {
  std::string digits;
  for (std::size_t i = value.digits.size(); i-- > 0;) {
    digits += static_cast<char>('0' + value.digits[i]);
  }
  if (digits.size() <= static_cast<std::size_t>(kModelScale)) {
    digits.insert(0, kModelScale + 1 - digits.size(), '0');
  }
  std::string whole = digits.substr(0, digits.size() - kModelScale);
  std::string fraction = digits.substr(digits.size() - kModelScale);
  fraction.erase(fraction.find_last_not_of('0') + 1);
  const std::size_t significant = (whole == "0" ? 0 : whole.size()) + fraction.size();
  if (fraction.size() > static_cast<std::size_t>(kDecimalPlaces) ||
      (whole != "0" && significant > static_cast<std::size_t>(kDecimalDigits))) {
    return "number out of range";
  }
  return std::string(value.negative ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

std::string ModelCompute(const Big& a, char op, const Big& b) {
  switch (op) {
    case '+':
      return ToText(Add(a, b));
    case '-':
      return ToText(Add(a, Negated(b)));
    case '*': {
      Big product = Multiply(a, b);  // times 10^80: the low 40 digits are zero
      product.digits.erase(product.digits.begin(),
                           product.digits.begin() +
                               std::min<std::ptrdiff_t>(kModelScale, static_cast<std::ptrdiff_t>(
                                                                         product.digits.size())));
      Trim(product);
      return ToText(product);
    }
    default: {
      if (b.digits.empty()) {
        return "division by zero";
      }
      // In units of 10^-20, rounded half away from zero, then back to 10^-40.
      auto [quotient, remainder] = DivideMagnitudes(ShiftUp(a, kDecimalPlaces), b);
      Big positive = b;
      positive.negative = false;
      if (CompareMagnitude(AddMagnitudes(remainder, remainder), positive) >= 0) {
        quotient = AddMagnitudes(quotient, Big{false, {1}});
      }
      quotient = ShiftUp(quotient, kDecimalPlaces);
      quotient.negative = a.negative != b.negative;
      Trim(quotient);
      return ToText(quotient);
    }
  }
}

// A random number the way users and computations make them: any length up
// to the limits, many at the edges.
std::string RandomNumber(std::mt19937_64& random) {
  const int places = std::uniform_int_distribution<int>(0, kDecimalPlaces)(random);
  const int wholeMax = kDecimalDigits - places;
  const int wholeDigits = std::uniform_int_distribution<int>(
      0, random() % 3 == 0 ? wholeMax : std::min(wholeMax, 6))(random);
  std::string text = random() % 2 ? "-" : "";
  for (int i = 0; i < wholeDigits; ++i) {
    text += static_cast<char>('0' + random() % 10);
  }
  if (wholeDigits == 0) {
    text += '0';
  }
  if (places > 0) {
    text += '.';
    for (int i = 0; i < places; ++i) {
      text += static_cast<char>('0' + (random() % 4 == 0 ? 0 : random() % 10));
    }
  }
  return text;
}

TEST(DecimalTest, AgreesWithAReferenceModel) {
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 6000; ++i) {
    const std::string textA = RandomNumber(random);
    const std::string textB = RandomNumber(random);
    const Decimal a = D(textA);
    const Decimal b = D(textB);
    const Big modelA = FromText(textA);
    const Big modelB = FromText(textB);
    EXPECT_EQ(a.toString(), ToText(modelA)) << textA;
    for (const char op : {'+', '-', '*', '/'}) {
      EXPECT_EQ(Compute(a, op, b), ModelCompute(modelA, op, modelB))
          << textA << ' ' << op << ' ' << textB;
    }
    const Big difference = Add(modelA, Negated(modelB));
    const auto expected = difference.digits.empty() ? std::strong_ordering::equal
                          : difference.negative     ? std::strong_ordering::less
                                                    : std::strong_ordering::greater;
    EXPECT_EQ(a <=> b, expected) << textA << " <=> " << textB;
  }
}

}  // namespace
}  // namespace rowvane
