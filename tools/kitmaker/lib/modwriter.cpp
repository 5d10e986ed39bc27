#include "modwriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>

namespace kitmaker {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Playback rate of a sample struck at C-2 (period 428); C-3 plays it twice as fast.
constexpr double kRateC2 = 8363.0;
constexpr double kRateC3 = 2 * kRateC2;

// Frequency of a MIDI note number (A4 = 69 = 440 Hz).
double hz(int midi) {
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

void putBE16(std::string& out, std::size_t v) {
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

void putText(std::string& out, const std::string& text, std::size_t size) {
    std::string t = text.substr(0, size);
    t.resize(size, '\0');
    out += t;
}

// Scales `wave` to a peak of `peak` (of 127) and rounds it to 8 bits with a little triangular
// dither, so quiet tails stay smooth instead of grainy.
std::vector<std::int8_t> to8bit(const std::vector<double>& wave, double peak, unsigned seed) {
    double max = 1e-9;
    for (double v : wave)
        max = std::max(max, std::abs(v));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    std::vector<std::int8_t> out(wave.size() + (wave.size() & 1), 0);
    for (std::size_t i = 0; i < wave.size(); ++i) {
        const double v = wave[i] / max * peak + u(rng) + u(rng);
        out[i] = static_cast<std::int8_t>(std::clamp(std::lround(v), -127L, 127L));
    }
    return out;
}

// A one-shot sample: the first two bytes stay silent, as trackers expect of samples that do not loop.
ModSample oneShot(const std::string& name, std::vector<double> wave, int volume, double peak, unsigned seed) {
    wave.insert(wave.begin(), 2, 0.0);
    std::vector<std::int8_t> data = to8bit(wave, peak, seed);
    data[0] = data[1] = 0; // exactly silent, whatever the dither made of it
    return {name, std::move(data), volume, 0, 0};
}

// A soft pad holding one chord: every voice a warm, slightly detuned pair of saw-like tones, each
// partial a whole number of cycles in the loop, so the loop joins without a click. A short swell
// comes before the loop.
ModSample padChord(const std::string& name, const std::vector<int>& notes, unsigned seed) {
    const std::size_t loop = 16384;
    const std::size_t attack = 1600;                         // about 0.1 s at C-3
    const double step = kRateC3 / static_cast<double>(loop); // frequency resolution of the loop
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> phase(0.0, 2 * kPi);
    std::vector<double> wave(attack + loop, 0.0);
    for (int note : notes) {
        for (double detune : {0.9965, 1.0035}) {
            for (int h = 1; h <= 6; ++h) {
                const double f = std::round(hz(note) * detune * h / step) * step;
                if (f > kRateC3 * 0.45) break;
                const double amp = 1.0 / std::pow(h, 1.7);
                const double ph = phase(rng);
                for (std::size_t i = 0; i < wave.size(); ++i) {
                    // Positions before the loop run backwards from its start, so the swell leads
                    // straight into the looped part.
                    const double t = (static_cast<double>(i) - static_cast<double>(attack)) / kRateC3;
                    wave[i] += amp * std::sin(2 * kPi * f * t + ph);
                }
            }
        }
    }
    for (std::size_t i = 0; i < attack; ++i) {
        const double x = static_cast<double>(i) / attack;
        wave[i] *= x * x * (3 - 2 * x);
    }
    ModSample s{name, to8bit(wave, 100.0, seed), 26, attack, loop};
    return s;
}

// Electric piano: a two-operator FM tone whose brightness and level fade, with a faint tine.
// Struck at C-3 it sounds C5.
ModSample electricPiano() {
    const double rate = kRateC3, f = hz(72);
    const std::size_t n = static_cast<std::size_t>(rate * 1.8);
    std::vector<double> w(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        const double index = 1.6 * std::exp(-t / 0.25) + 0.25;
        const double body = std::sin(2 * kPi * f * t + index * std::sin(2 * kPi * f * t));
        const double tine = 0.12 * std::sin(2 * kPi * f * 7 * t) * std::exp(-t / 0.04);
        const double attack = std::min(1.0, t / 0.003);
        const double tail = std::min(1.0, (1.8 - t) / 0.2); // fades to nothing before the end
        w[i] = (body + tine) * std::exp(-t / 0.9) * attack * tail;
    }
    return oneShot("electric piano", w, 34, 118.0, 11);
}

// Round bass: sine with a little second and third harmonic. Struck at C-2 it sounds C3.
ModSample bass() {
    const double rate = kRateC2, f = hz(48);
    const std::size_t n = static_cast<std::size_t>(rate * 1.6);
    std::vector<double> w(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        const double tone = std::sin(2 * kPi * f * t) + 0.35 * std::sin(4 * kPi * f * t) +
                            0.12 * std::sin(6 * kPi * f * t + 0.5);
        const double attack = std::min(1.0, t / 0.006);
        const double tail = std::min(1.0, (1.6 - t) / 0.25);
        w[i] = tone * std::exp(-t / 0.8) * attack * tail;
    }
    return oneShot("round bass", w, 46, 120.0, 12);
}

// Kick: a sine that falls from 120 Hz to 45 Hz. Struck at C-2.
ModSample kick() {
    const double rate = kRateC2;
    const std::size_t n = static_cast<std::size_t>(rate * 0.35);
    std::vector<double> w(n);
    double ph = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        ph += 2 * kPi * (45.0 + 75.0 * std::exp(-t / 0.04)) / rate;
        w[i] = std::sin(ph) * std::exp(-t / 0.12) * std::min(1.0, t / 0.002);
    }
    return oneShot("soft kick", w, 54, 124.0, 13);
}

// Brushed snare: band-limited noise over a short 190 Hz body. Struck at C-3.
ModSample snare() {
    const double rate = kRateC3;
    const std::size_t n = static_cast<std::size_t>(rate * 0.25);
    std::mt19937 rng(14);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> w(n);
    double lp = 0, prev = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        const double x = noise(rng);
        lp += 0.35 * (x - lp);         // take the harshest top off
        const double band = lp - prev; // and the rumble
        prev = lp;
        w[i] = (1.4 * band * std::exp(-t / 0.07) + 0.5 * std::sin(2 * kPi * 190 * t) * std::exp(-t / 0.03)) *
               std::min(1.0, t / 0.002);
    }
    return oneShot("brush snare", w, 26, 110.0, 15);
}

// Closed hi-hat: high-passed noise, very short. Struck at C-3.
ModSample hihat() {
    const double rate = kRateC3;
    const std::size_t n = static_cast<std::size_t>(rate * 0.08);
    std::mt19937 rng(16);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> w(n);
    double prev = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        const double x = noise(rng);
        w[i] = (x - prev) * std::exp(-t / 0.018);
        prev = x;
    }
    return oneShot("hat", w, 13, 100.0, 17);
}

// Sample numbers of the demo song.
enum : int { Kick = 1, Snare, Hat, Bass, Piano, PadFirst };

// Channels of the demo song.
enum : int { ChDrums = 0, ChBass = 1, ChLead = 2, ChPad = 3 };

void put(ModPattern& p, int row, int ch, int sample, const std::string& note, int effect = 0, int param = 0) {
    p[static_cast<std::size_t>(row) * kModChannels + static_cast<std::size_t>(ch)] = {
        sample, note.empty() ? 0 : modPeriod(note), effect, param};
}

struct Chord {
    const char* name;
    std::vector<int> notes; // MIDI numbers of the pad's voices
    const char* root;       // the bass note (octave 1) for the bar
};

struct Tone {
    int row;
    const char* note;
    int volume; // 0 = the sample's own
};

} // namespace

int modPeriod(const std::string& note) {
    static const int kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                                     428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                                     214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};
    static const char* const kNames[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                           "F#", "G-", "G#", "A-", "A#", "B-"};
    if (note.size() == 3 && note[2] >= '1' && note[2] <= '3') {
        for (int i = 0; i < 12; ++i)
            if (note.compare(0, 2, kNames[i]) == 0) return kPeriods[(note[2] - '1') * 12 + i];
    }
    throw std::invalid_argument("not a note: " + note);
}

std::string modFileBytes(const ModSong& song) {
    if (song.samples.size() > 31) throw std::invalid_argument("more than 31 samples");
    if (song.orders.empty() || song.orders.size() > 128)
        throw std::invalid_argument("order list must hold 1..128 entries");
    if (song.patterns.empty() || song.patterns.size() > 64)
        throw std::invalid_argument("pattern count must be 1..64");
    for (int o : song.orders)
        if (o < 0 || o >= static_cast<int>(song.patterns.size()))
            throw std::invalid_argument("order names no pattern");

    std::string out;
    putText(out, song.title, 20);
    for (std::size_t i = 0; i < 31; ++i) {
        if (i >= song.samples.size()) {
            putText(out, "", 22);
            putBE16(out, 0);
            out += '\0';
            out += '\0';
            putBE16(out, 0);
            putBE16(out, 1);
            continue;
        }
        const ModSample& s = song.samples[i];
        if (s.data.size() % 2 || s.data.size() > 131070)
            throw std::invalid_argument("sample " + s.name + ": bad length");
        if (s.loopLength &&
            (s.loopStart % 2 || s.loopLength % 2 || s.loopStart + s.loopLength > s.data.size()))
            throw std::invalid_argument("sample " + s.name + ": bad loop");
        putText(out, s.name, 22);
        putBE16(out, s.data.size() / 2);
        out += '\0'; // finetune
        out += static_cast<char>(std::clamp(s.volume, 0, 64));
        putBE16(out, s.loopLength ? s.loopStart / 2 : 0);
        putBE16(out, s.loopLength ? s.loopLength / 2 : 1);
    }
    out += static_cast<char>(song.orders.size());
    out += '\x7F';
    for (std::size_t i = 0; i < 128; ++i)
        out += static_cast<char>(i < song.orders.size() ? song.orders[i] : 0);
    out += "M.K.";
    for (const ModPattern& p : song.patterns) {
        for (const ModCell& c : p) {
            if (c.sample < 0 || c.sample > 31 || c.period < 0 || c.period > 0xFFF || c.effect < 0 ||
                c.effect > 15 || c.param < 0 || c.param > 255)
                throw std::invalid_argument("pattern cell out of range");
            out += static_cast<char>((c.sample & 0xF0) | ((c.period >> 8) & 0x0F));
            out += static_cast<char>(c.period & 0xFF);
            out += static_cast<char>(((c.sample & 0x0F) << 4) | c.effect);
            out += static_cast<char>(c.param);
        }
    }
    for (const ModSample& s : song.samples)
        out.append(reinterpret_cast<const char*>(s.data.data()), s.data.size());
    return out;
}

ModSong composeDemoSong() {
    ModSong song;
    song.title = "halcyon breeze";
    song.samples = {kick(), snare(), hihat(), bass(), electricPiano()};

    const std::vector<Chord> chords = {
        {"pad Fmaj7", {53, 57, 60, 64}, "F-1"},  {"pad G6", {55, 59, 62, 64}, "G-1"},
        {"pad Em7", {52, 55, 59, 62}, "E-1"},    {"pad Am7", {57, 60, 64, 67}, "A-1"},
        {"pad Dm7", {50, 53, 57, 60}, "D-1"},    {"pad Cmaj7", {55, 59, 60, 64}, "C-1"},
        {"pad G7sus4", {55, 60, 62, 65}, "G-1"},
    };
    for (std::size_t i = 0; i < chords.size(); ++i)
        song.samples.push_back(padChord(chords[i].name, chords[i].notes, 100 + static_cast<unsigned>(i)));
    enum { Fmaj7, G6, Em7, Am7, Dm7, Cmaj7, G7sus4 };

    // Four bars of 16 rows per pattern, one chord per bar.
    const int progression[4][4] = {
        {Fmaj7, G6, Em7, Am7}, {Dm7, G6, Cmaj7, Am7}, {Fmaj7, G6, Em7, Am7}, {Dm7, Em7, Fmaj7, G7sus4}};
    // The electric piano's melody, bar by bar (rows within the bar).
    const std::vector<Tone> melody[4][4] = {
        {{{0, "E-3", 0}, {4, "C-3", 0}, {6, "A-2", 28}, {8, "G-2", 0}, {12, "A-2", 30}},
         {{0, "B-2", 0}, {4, "D-3", 0}, {8, "E-3", 0}, {12, "D-3", 28}},
         {{0, "B-2", 0}, {6, "G-2", 28}, {8, "B-2", 0}, {12, "D-3", 0}},
         {{0, "C-3", 0}, {4, "E-3", 30}, {8, "A-2", 0}}},
        {{{0, "A-2", 0}, {4, "C-3", 0}, {6, "D-3", 28}, {8, "F-3", 0}, {12, "E-3", 30}},
         {{0, "D-3", 0}, {8, "B-2", 0}, {12, "G-2", 28}},
         {{0, "E-3", 0}, {4, "G-3", 0}, {8, "E-3", 30}, {10, "D-3", 26}, {12, "C-3", 0}},
         {{0, "E-3", 0}, {8, "A-2", 0}}},
        {{{0, "A-2", 0}, {2, "C-3", 26}, {4, "E-3", 0}, {8, "G-3", 0}, {12, "E-3", 28}},
         {{0, "D-3", 0}, {4, "B-2", 28}, {8, "D-3", 0}, {10, "E-3", 26}, {12, "G-3", 30}},
         {{0, "E-3", 0}, {4, "D-3", 28}, {8, "B-2", 0}, {12, "G-2", 28}},
         {{0, "A-2", 0}, {4, "C-3", 28}, {8, "E-3", 0}}},
        {{{0, "F-3", 0}, {4, "E-3", 28}, {8, "D-3", 0}, {12, "C-3", 28}},
         {{0, "B-2", 0}, {4, "D-3", 28}, {8, "G-2", 0}},
         {{0, "A-2", 0}, {4, "C-3", 28}, {8, "E-3", 0}, {12, "G-3", 28}},
         {{0, "F-3", 0}, {8, "D-3", 28}, {12, "C-3", 26}}},
    };

    for (int pat = 0; pat < 4; ++pat) {
        ModPattern p{};
        for (int bar = 0; bar < 4; ++bar) {
            const int base = bar * 16;
            const Chord& chord = chords[static_cast<std::size_t>(progression[pat][bar])];
            put(p, base, ChPad, PadFirst + progression[pat][bar], "C-3");
            // Bass: the root on the beat, again just before the third beat, the octave after it.
            const std::string root = chord.root;
            put(p, base, ChBass, Bass, root);
            put(p, base + 6, ChBass, Bass, root, 0xC, 34);
            put(p, base + 10, ChBass, Bass, root.substr(0, 2) + "2", 0xC, 26);
            for (const Tone& t : melody[pat][bar])
                put(p, base + t.row, ChLead, Piano, t.note, t.volume ? 0xC : 0, t.volume);
            // Drums: kick on one and three, brushed snare on two and four (not in the first pattern,
            // which eases in), hats on the off-beats.
            for (int beat = 0; beat < 4; ++beat) {
                const int row = base + beat * 4;
                if (beat % 2 == 0)
                    put(p, row, ChDrums, Kick, "C-2");
                else if (pat > 0)
                    put(p, row, ChDrums, Snare, "C-3");
                put(p, row + 2, ChDrums, Hat, "C-3");
            }
        }
        if (pat == 3) put(p, 62, ChDrums, Snare, "C-3", 0xC, 14); // a soft pickup into the repeat
        // Amiga channels pan hard left, right, right, left; the bass is drawn to the middle and
        // the piano part-way towards it, so the mix sits evenly between the speakers.
        put(p, 1, ChBass, 0, "", 0x8, 0x80);
        put(p, 1, ChLead, 0, "", 0x8, 0xB0);
        put(p, 1, ChPad, 0, "", 0x8, 0x40);
        // 90 beats a minute at the usual six ticks a row: a 16th note per row.
        p[ChDrums].effect = 0xF;
        p[ChDrums].param = 90;
        song.patterns.push_back(p);
    }
    song.orders = {0, 1, 2, 3};
    return song;
}

ModSong composeBlipSong() {
    const double rate = kRateC3;
    std::vector<double> w(static_cast<std::size_t>(rate * 0.15));
    for (std::size_t i = 0; i < w.size(); ++i) {
        const double t = i / rate;
        w[i] = std::sin(2 * kPi * 440.0 * t) * std::min(1.0, (0.15 - t) / 0.02);
    }
    ModSong song;
    song.title = "blip";
    song.samples = {oneShot("blip", w, 64, 120.0, 1)};
    ModPattern p{};
    put(p, 0, 0, 1, "C-3");
    put(p, 3, 1, 0, "", 0xD, 0); // the pattern ends after four rows
    song.patterns.push_back(p);
    song.orders = {0};
    return song;
}

} // namespace kitmaker
