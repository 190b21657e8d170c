#include "engine/xml/expression/Decimal.h"

#include <algorithm>
#include <array>
#include <limits>

namespace rowvane {
namespace {

constexpr const char* kOutOfRange = "number out of range";
constexpr UInt128 kMaxMagnitude = ~static_cast<UInt128>(0);

constexpr std::array<UInt128, 39> kPowers = [] {
  std::array<UInt128, 39> powers{};
  UInt128 power = 1;
  for (UInt128& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();
constexpr UInt128 kLimit = kPowers[kDecimalDigits];  // every coefficient is below

// The largest magnitude that may be multiplied by 10^k without overflow.
constexpr std::array<UInt128, 39> kScalable = [] {
  std::array<UInt128, 39> largest{};
  for (std::size_t k = 0; k < largest.size(); ++k) {
    largest[k] = kMaxMagnitude / kPowers[k];
  }
  return largest;
}();

// A magnitude of up to 320 bits: the intermediate results of + - * / that do
// not fit 128 bits (at most 10^78, a quotient's scaled dividend).
class Wide {
 public:
  explicit Wide(UInt128 value)
      : m_limbs{static_cast<std::uint64_t>(value), static_cast<std::uint64_t>(value >> 64), 0, 0,
                0} {}

  void multiply(std::uint64_t factor) {
    std::uint64_t carry = 0;
    for (std::uint64_t& limb : m_limbs) {
      const UInt128 product = static_cast<UInt128>(limb) * factor + carry;
      limb = static_cast<std::uint64_t>(product);
      carry = static_cast<std::uint64_t>(product >> 64);
    }
  }

  void multiplyByPowerOfTen(int exponent) {
    for (; exponent > 0; exponent -= 19) {
      multiply(static_cast<std::uint64_t>(kPowers[std::min(exponent, 19)]));
    }
  }

  // The product of two 128-bit magnitudes.
  static Wide Product(UInt128 a, UInt128 b) {
    Wide high(a);
    high.multiply(static_cast<std::uint64_t>(b >> 64));
    high.shiftLimbs();
    Wide low(a);
    low.multiply(static_cast<std::uint64_t>(b));
    low.add(high);
    return low;
  }

  void add(const Wide& other) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < m_limbs.size(); ++i) {
      const UInt128 sum = static_cast<UInt128>(m_limbs[i]) + other.m_limbs[i] + carry;
      m_limbs[i] = static_cast<std::uint64_t>(sum);
      carry = static_cast<std::uint64_t>(sum >> 64);
    }
  }

  // this - other, where other is not greater.
  void subtract(const Wide& other) {
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < m_limbs.size(); ++i) {
      const std::uint64_t before = m_limbs[i];
      m_limbs[i] = before - other.m_limbs[i] - borrow;
      borrow = (before < other.m_limbs[i] || (borrow != 0 && before == other.m_limbs[i])) ? 1 : 0;
    }
  }

  // Divides in place; gives the remainder.
  std::uint64_t divide(std::uint64_t divisor) {
    UInt128 remainder = 0;
    for (std::size_t i = m_limbs.size(); i-- > 0;) {
      const UInt128 part = (remainder << 64) | m_limbs[i];
      m_limbs[i] = static_cast<std::uint64_t>(part / divisor);
      remainder = part % divisor;
    }
    return static_cast<std::uint64_t>(remainder);
  }

  // Divides in place by a 128-bit divisor (not zero), bit by bit; gives the
  // remainder. Only quotients whose dividend passed 128 bits come here.
  UInt128 divide(UInt128 divisor) {
    Wide quotient(0);
    Wide remainder(0);
    for (int bit = kBits - 1; bit >= 0; --bit) {
      remainder.shiftLeftOne();
      remainder.m_limbs[0] |= (m_limbs[static_cast<std::size_t>(bit / 64)] >> (bit % 64)) & 1;
      const Wide wideDivisor(divisor);
      if (remainder.compare(wideDivisor) >= 0) {
        remainder.subtract(wideDivisor);
        quotient.m_limbs[static_cast<std::size_t>(bit / 64)] |= std::uint64_t{1} << (bit % 64);
      }
    }
    *this = quotient;
    return remainder.low128();
  }

  int compare(const Wide& other) const {
    for (std::size_t i = m_limbs.size(); i-- > 0;) {
      if (m_limbs[i] != other.m_limbs[i]) {
        return m_limbs[i] < other.m_limbs[i] ? -1 : 1;
      }
    }
    return 0;
  }

  bool fits128() const { return m_limbs[2] == 0 && m_limbs[3] == 0 && m_limbs[4] == 0; }
  UInt128 low128() const { return (static_cast<UInt128>(m_limbs[1]) << 64) | m_limbs[0]; }

 private:
  static constexpr int kBits = 320;

  void shiftLimbs() {
    for (std::size_t i = m_limbs.size() - 1; i > 0; --i) {
      m_limbs[i] = m_limbs[i - 1];
    }
    m_limbs[0] = 0;
  }

  void shiftLeftOne() {
    for (std::size_t i = m_limbs.size() - 1; i > 0; --i) {
      m_limbs[i] = (m_limbs[i] << 1) | (m_limbs[i - 1] >> 63);
    }
    m_limbs[0] <<= 1;
  }

  std::array<std::uint64_t, 5> m_limbs;
};

// The Decimal of ±magnitude·10^-scale: trailing zeros after the point taken
// off, then the limits checked.
Decimal Normalized(bool negative, UInt128 magnitude, int scale) {
  if (magnitude == 0) {
    return Decimal();
  }
  while (scale > 0 && magnitude <= std::numeric_limits<std::uint64_t>::max() &&
         static_cast<std::uint64_t>(magnitude) % 10 == 0) {
    magnitude = static_cast<std::uint64_t>(magnitude) / 10;
    --scale;
  }
  while (scale > 0 && magnitude % 10 == 0) {
    magnitude /= 10;
    --scale;
  }
  if (scale > kDecimalPlaces || magnitude >= kLimit) {
    throw DecimalError(kOutOfRange);
  }
  return Decimal::FromParts(negative, magnitude, scale);
}

Decimal Normalized(bool negative, Wide magnitude, int scale) {
  while (scale > 0 && !magnitude.fits128()) {
    Wide divided = magnitude;
    if (divided.divide(std::uint64_t{10}) != 0) {
      break;
    }
    magnitude = divided;
    --scale;
  }
  if (!magnitude.fits128()) {
    throw DecimalError(kOutOfRange);
  }
  return Normalized(negative, magnitude.low128(), scale);
}

// The magnitude scaled up by 10^exponent, when that fits 128 bits.
bool ScaleUp(UInt128& magnitude, int exponent) {
  if (exponent >= static_cast<int>(kPowers.size()) ||
      magnitude > kScalable[static_cast<std::size_t>(exponent)]) {
    return false;
  }
  magnitude *= kPowers[static_cast<std::size_t>(exponent)];
  return true;
}

Decimal Sum(const Decimal& a, const Decimal& b, bool negateB) {
  const bool negativeA = a.isNegative();
  const bool negativeB = b.isNegative() != negateB && !b.isZero();
  const int scale = std::max(a.scale(), b.scale());
  UInt128 magnitudeA = a.magnitude();
  UInt128 magnitudeB = b.magnitude();
  if (ScaleUp(magnitudeA, scale - a.scale()) && ScaleUp(magnitudeB, scale - b.scale())) {
    if (negativeA == negativeB) {
      if (magnitudeA <= kMaxMagnitude - magnitudeB) {
        return Normalized(negativeA, magnitudeA + magnitudeB, scale);
      }
    } else if (magnitudeA >= magnitudeB) {
      return Normalized(negativeA, magnitudeA - magnitudeB, scale);
    } else {
      return Normalized(negativeB, magnitudeB - magnitudeA, scale);
    }
  }
  Wide wideA(a.magnitude());
  wideA.multiplyByPowerOfTen(scale - a.scale());
  Wide wideB(b.magnitude());
  wideB.multiplyByPowerOfTen(scale - b.scale());
  if (negativeA == negativeB) {
    wideA.add(wideB);
    return Normalized(negativeA, wideA, scale);
  }
  if (wideA.compare(wideB) >= 0) {
    wideA.subtract(wideB);
    return Normalized(negativeA, wideA, scale);
  }
  wideB.subtract(wideA);
  return Normalized(negativeB, wideB, scale);
}

// The digits of a magnitude at `end`, backwards; gives where they begin.
char* WriteDigits(UInt128 magnitude, char* end) {
  constexpr std::uint64_t kChunk = 10'000'000'000'000'000'000ULL;  // 10^19
  if (magnitude > std::numeric_limits<std::uint64_t>::max()) {
    auto low = static_cast<std::uint64_t>(magnitude % kChunk);
    for (int i = 0; i < 19; ++i, low /= 10) {
      *--end = static_cast<char>('0' + low % 10);
    }
    magnitude /= kChunk;
  }
  auto rest = static_cast<std::uint64_t>(magnitude);
  do {
    *--end = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  return end;
}

// The magnitude written with `scale` digits after the point.
void AppendScaled(bool negative, UInt128 magnitude, int scale, std::string& out) {
  char buffer[64];  // a sign, 39 digits, 20 zeros before them at most, a point
  char* const end = buffer + sizeof buffer;
  char* begin = WriteDigits(magnitude, end);
  const auto places = static_cast<std::ptrdiff_t>(scale);
  if (places > 0) {
    while (end - begin <= places) {
      *--begin = '0';
    }
    const std::ptrdiff_t whole = end - begin - places;
    std::copy(begin, begin + whole, begin - 1);  // the whole digits one place left
    --begin;
    begin[whole] = '.';
  }
  if (negative && magnitude != 0) {
    *--begin = '-';
  }
  out.append(begin, end);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

DecimalReading Read(std::string_view text, std::string_view mark, std::string_view group) {
  DecimalReading reading;
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  if (text.empty()) {
    return reading;
  }
  reading.status = DecimalReading::Status::NotNumber;
  std::size_t at = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '-' || text[0] == '+') {
    ++at;
  }
  // The syntax first: a number too long for a Decimal is still a number.
  const std::size_t wholeStart = at;
  std::size_t digits = 0;
  while (at < text.size()) {
    if (IsDigit(text[at])) {
      ++at;
      ++digits;
    } else if (!group.empty() && text[at] == group.front() &&
               (group.size() == 1 || text.substr(at).starts_with(group))) {
      at += group.size();
    } else {
      break;
    }
  }
  const std::size_t wholeEnd = at;
  std::size_t fractionStart = at;
  if (at < text.size() && !mark.empty() && text[at] == mark.front() &&
      (mark.size() == 1 || text.substr(at).starts_with(mark))) {
    at += mark.size();
    fractionStart = at;
    while (at < text.size() && IsDigit(text[at])) {
      ++at;
      ++digits;
    }
  }
  if (at != text.size() || digits == 0) {
    return reading;
  }
  std::string_view fraction = text.substr(fractionStart);
  fraction = fraction.substr(0, fraction.find_last_not_of('0') + 1);
  if (fraction.size() > static_cast<std::size_t>(kDecimalPlaces)) {
    reading.status = DecimalReading::Status::OutOfRange;
    return reading;
  }
  UInt128 magnitude = 0;
  int significant = 0;
  const auto take = [&](char c) {
    if (!IsDigit(c)) {
      return;
    }
    magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    if (magnitude != 0) {
      ++significant;
    }
  };
  for (std::size_t i = wholeStart; i < wholeEnd && significant <= kDecimalDigits; ++i) {
    take(text[i]);
  }
  for (std::size_t i = 0; i < fraction.size() && significant <= kDecimalDigits; ++i) {
    take(fraction[i]);
  }
  if (significant > kDecimalDigits) {
    reading.status = DecimalReading::Status::OutOfRange;
    return reading;
  }
  reading.status = DecimalReading::Status::Number;
  reading.value = Normalized(negative, magnitude, static_cast<int>(fraction.size()));
  return reading;
}

}  // namespace

Decimal Decimal::FromParts(bool negative, UInt128 magnitude, int scale) {
  Decimal result;
  result.m_low = static_cast<std::uint64_t>(magnitude);
  result.m_high = static_cast<std::uint64_t>(magnitude >> 64);
  result.m_negative = negative && magnitude != 0;
  result.m_scale = static_cast<std::uint8_t>(scale);
  return result;
}

Decimal Decimal::FromInteger(std::int64_t value) {
  const bool negative = value < 0;
  const UInt128 magnitude = negative ? static_cast<UInt128>(-(value + 1)) + 1 : value;
  return FromParts(negative, magnitude, 0);
}

Decimal operator+(const Decimal& a, const Decimal& b) {
  return Sum(a, b, false);
}

Decimal operator-(const Decimal& a, const Decimal& b) {
  return Sum(a, b, true);
}

Decimal operator*(const Decimal& a, const Decimal& b) {
  const bool negative = a.isNegative() != b.isNegative();
  const int scale = a.scale() + b.scale();
  UInt128 product = 0;
  if (!__builtin_mul_overflow(a.magnitude(), b.magnitude(), &product)) {
    return Normalized(negative, product, scale);
  }
  return Normalized(negative, Wide::Product(a.magnitude(), b.magnitude()), scale);
}

Decimal operator/(const Decimal& a, const Decimal& b) {
  if (b.isZero()) {
    throw DecimalError("division by zero");
  }
  const bool negative = a.isNegative() != b.isNegative();
  // The quotient in units of 10^-20: a's magnitude · 10^exponent / b's.
  const int exponent = kDecimalPlaces + b.scale() - a.scale();
  const UInt128 divisor = b.magnitude();
  UInt128 dividend = a.magnitude();
  UInt128 quotient = 0;
  UInt128 remainder = 0;
  if (ScaleUp(dividend, exponent)) {
    quotient = dividend / divisor;
    remainder = dividend % divisor;
  } else {
    Wide wide(a.magnitude());
    wide.multiplyByPowerOfTen(exponent);
    remainder = wide.divide(divisor);
    if (remainder >= divisor - remainder) {
      wide.add(Wide(1));
    }
    return Normalized(negative, wide, kDecimalPlaces);
  }
  if (remainder >= divisor - remainder) {
    ++quotient;  // below 2^128 - 1: the dividend fit and the divisor is not zero
  }
  return Normalized(negative, quotient, kDecimalPlaces);
}

Decimal Decimal::operator-() const {
  Decimal result = *this;
  result.m_negative = !m_negative && !isZero();
  return result;
}

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
  if (a.isNegative() != b.isNegative()) {
    return a.isNegative() ? std::strong_ordering::less : std::strong_ordering::greater;
  }
  UInt128 magnitudeA = a.magnitude();
  UInt128 magnitudeB = b.magnitude();
  std::strong_ordering order = std::strong_ordering::equal;
  // A magnitude too large to scale is larger than any coefficient.
  if (!ScaleUp(magnitudeA, b.scale() - a.scale() > 0 ? b.scale() - a.scale() : 0)) {
    order = std::strong_ordering::greater;
  } else if (!ScaleUp(magnitudeB, a.scale() - b.scale() > 0 ? a.scale() - b.scale() : 0)) {
    order = std::strong_ordering::less;
  } else {
    order = magnitudeA <=> magnitudeB;
  }
  if (a.isNegative()) {
    return 0 <=> order;
  }
  return order;
}

std::optional<std::int64_t> Decimal::wholeValue() const {
  if (m_scale != 0) {
    return std::nullopt;
  }
  constexpr auto kMax = static_cast<UInt128>(std::numeric_limits<std::int64_t>::max());
  const UInt128 magnitude = std::min(this->magnitude(), kMax);
  const auto value = static_cast<std::int64_t>(magnitude);
  return m_negative ? -value : value;
}

std::string Decimal::toString() const {
  std::string text;
  appendTo(text);
  return text;
}

void Decimal::appendTo(std::string& out) const {
  AppendScaled(m_negative, magnitude(), m_scale, out);
}

void Decimal::appendFormatted(int places, std::string& out) const {
  places = std::clamp(places, 0, kDecimalPlaces);
  if (m_scale <= places) {
    appendTo(out);
    if (places > 0) {
      if (m_scale == 0) {
        out += '.';
      }
      out.append(static_cast<std::size_t>(places - m_scale), '0');
    }
    return;
  }
  const UInt128 unit = kPowers[static_cast<std::size_t>(m_scale - places)];
  const UInt128 remainder = magnitude() % unit;
  UInt128 rounded = magnitude() / unit;
  if (remainder >= unit - remainder) {
    ++rounded;
  }
  AppendScaled(m_negative, rounded, places, out);
}

DecimalReading ReadDecimal(std::string_view text) {
  return Read(text, ".", {});
}

DecimalReading ReadDecimal(std::string_view text, std::string_view mark, std::string_view group) {
  return Read(text, mark, group);
}

}  // namespace rowvane
