// What the page needs of sound files beyond the browser's decoder: WAV read exactly, the rate
// a file of another format is stored at (to decode it without resampling), and WAV written.

// The channels of a WAV file as libsndfile reads them into floats, so that the page filters the
// very samples `varic render` does: integers divided by 2^(bits - 1) (browsers divide positive
// 16-bit samples by 32767 instead), floats as they are. Null for anything else.
export function decodeWav(buffer) {
  const view = new DataView(buffer);
  const text = (at) => String.fromCharCode(...new Uint8Array(buffer, at, 4));
  if (buffer.byteLength < 12 || text(0) !== 'RIFF' || text(8) !== 'WAVE') return null;
  let format = null;
  for (let at = 12; at + 8 <= buffer.byteLength;) {
    const size = view.getUint32(at + 4, true);
    if (text(at) === 'fmt ' && size >= 16) {
      const tag = view.getUint16(at + 8, true);
      format = {
        type: tag === 0xfffe && size >= 26 ? view.getUint16(at + 32, true) : tag,
        channels: view.getUint16(at + 10, true),
        rate: view.getUint32(at + 12, true),
        bits: view.getUint16(at + 22, true),
      };
    } else if (text(at) === 'data' && format) {
      return wavSamples(view, at + 8, Math.min(size, buffer.byteLength - at - 8), format);
    }
    at += 8 + size + (size & 1);  // chunks are padded to even sizes
  }
  return null;
}

const wavReaders = {
  '1/8': (view, at) => (view.getUint8(at) - 128) / 128,
  '1/16': (view, at) => view.getInt16(at, true) / 32768,
  '1/24': (view, at) => ((view.getInt8(at + 2) << 16) | view.getUint16(at, true)) / 8388608,
  '1/32': (view, at) => Math.fround(view.getInt32(at, true)) / 2147483648,
  '3/32': (view, at) => view.getFloat32(at, true),
  '3/64': (view, at) => view.getFloat64(at, true),
};

function wavSamples(view, start, size, { type, channels, rate, bits }) {
  const read = wavReaders[`${type}/${bits}`];
  if (!read || channels < 1 || rate < 1) return null;
  const step = bits / 8;
  const frames = Math.floor(size / (step * channels));
  const data = Array.from({ length: channels }, () => new Float32Array(frames));
  for (let n = 0, at = start; n < frames; ++n) {
    for (let c = 0; c < channels; ++c, at += step) data[c][n] = read(view, at);
  }
  return { rate, data };
}

// The stored sample rate of a FLAC, Ogg (Vorbis, Opus) or MP3 file, or 0 when it is not one
// of those.
export function sampleRateOf(buffer) {
  const bytes = new Uint8Array(buffer);
  const view = new DataView(buffer);
  const text = (at, length) => String.fromCharCode(...bytes.subarray(at, at + length));
  let start = 0;
  if (text(0, 3) === 'ID3' && bytes.length > 10) {  // a tag before FLAC or MP3 frames
    start = 10 + ((bytes[6] << 21) | (bytes[7] << 14) | (bytes[8] << 7) | bytes[9]);
  }
  if (text(start, 4) === 'fLaC' && start + 21 <= bytes.length) {  // STREAMINFO: 20 bits
    return (bytes[start + 18] << 12) | (bytes[start + 19] << 4) | (bytes[start + 20] >> 4);
  }
  if (text(0, 4) === 'OggS' && bytes.length > 27) {
    const packet = 27 + bytes[26];
    if (text(packet, 8) === 'OpusHead') return 48000;  // Opus always decodes at 48 kHz
    if (text(packet, 7) === '\x01vorbis') return view.getUint32(packet + 12, true);
    return 0;
  }
  return mp3SampleRate(bytes, start);
}

function mp3SampleRate(bytes, start) {
  const rates = [[11025, 12000, 8000], [0, 0, 0], [22050, 24000, 16000], [44100, 48000, 32000]];
  for (let at = start; at + 4 <= Math.min(bytes.length, start + 65536); ++at) {
    if (bytes[at] !== 0xff || (bytes[at + 1] & 0xe0) !== 0xe0) continue;
    const version = (bytes[at + 1] >> 3) & 3;
    const layer = (bytes[at + 1] >> 1) & 3;
    const index = (bytes[at + 2] >> 2) & 3;
    if (version !== 1 && layer !== 0 && index !== 3) return rates[version][index];
  }
  return 0;
}

// A WAV file of two channels: 32-bit float (WAVE_FORMAT_IEEE_FLOAT with its fact chunk, laid
// out as libsndfile writes it, less the optional PEAK chunk), or 16-bit integers made as
// `varic render` makes them, to the bit: scaled by 32768, with its TPDF dither unless asked not
// to (none for a sample that is exact already), to the nearest integer (ties to even), clipped.
export function encodeWav(left, right, sampleRate, { format = 'float', dither = true } = {}) {
  const float = format === 'float';
  const bytesPerSample = float ? 4 : 2;
  const frames = left.length;
  const header = float ? 56 : 44;
  const data = frames * 2 * bytesPerSample;
  const buffer = new ArrayBuffer(header + data);
  const view = new DataView(buffer);
  const tag = (at, text) => [...text].forEach((c, i) => view.setUint8(at + i, c.charCodeAt(0)));
  tag(0, 'RIFF');
  view.setUint32(4, buffer.byteLength - 8, true);
  tag(8, 'WAVE');
  tag(12, 'fmt ');
  view.setUint32(16, 16, true);
  view.setUint16(20, float ? 3 : 1, true);
  view.setUint16(22, 2, true);
  view.setUint32(24, sampleRate, true);
  view.setUint32(28, sampleRate * 2 * bytesPerSample, true);
  view.setUint16(32, 2 * bytesPerSample, true);
  view.setUint16(34, 8 * bytesPerSample, true);
  if (float) {
    tag(36, 'fact');
    view.setUint32(40, 4, true);
    view.setUint32(44, frames, true);
  }
  tag(header - 8, 'data');
  view.setUint32(header - 4, data, true);
  if (float) {
    for (let n = 0, at = header; n < frames; ++n, at += 8) {
      view.setFloat32(at, left[n], true);
      view.setFloat32(at + 4, right[n], true);
    }
  } else {
    const none = () => 0;
    const [noiseLeft, noiseRight] = dither ? [tpdf(0), tpdf(1)] : [none, none];
    for (let n = 0, at = header; n < frames; ++n, at += 4) {
      view.setInt16(at, toPcm16(left[n], noiseLeft()), true);
      view.setInt16(at + 2, toPcm16(right[n], noiseRight()), true);
    }
  }
  return buffer;
}

// One sample as a 16-bit integer; noise is the dither drawn for it (used unless it is exact).
export function toPcm16(sample, noise) {
  const scaled = sample * 32768;  // exact: a float times a power of two
  if (Number.isNaN(scaled)) return 0;
  const exact = Number.isInteger(scaled) && scaled >= -32768 && scaled <= 32767;
  const value = exact ? scaled : scaled + noise;
  let rounded = Math.round(value);  // halves go up; ties go to the even neighbour instead
  if (rounded - value === 0.5 && rounded % 2 !== 0) rounded -= 1;
  return Math.min(32767, Math.max(-32768, rounded));
}

// Triangular dither, the very noise `varic render` adds: per channel a xoshiro128+ generator
// whose four state words are the "lowbias32" hash of 4 x channel + 1 to 4; each sample takes two
// numbers, whose top 24 bits give two uniform values in [-0.5, 0.5), summed.
export function tpdf(channel) {
  const lowbias32 = (x) => {
    x = Math.imul(x ^ (x >>> 16), 0x7feb352d);
    x = Math.imul(x ^ (x >>> 15), 0x846ca68b);
    return (x ^ (x >>> 16)) >>> 0;
  };
  const s = [1, 2, 3, 4].map((i) => lowbias32(4 * channel + i));
  const uniform = () => {
    const result = (s[0] + s[3]) >>> 0;
    const t = (s[1] << 9) >>> 0;
    s[2] = (s[2] ^ s[0]) >>> 0;
    s[3] = (s[3] ^ s[1]) >>> 0;
    s[1] = (s[1] ^ s[2]) >>> 0;
    s[0] = (s[0] ^ s[3]) >>> 0;
    s[2] = (s[2] ^ t) >>> 0;
    s[3] = ((s[3] << 11) | (s[3] >>> 21)) >>> 0;
    return (result >>> 8) / 16777216 - 0.5;
  };
  return () => {
    const first = uniform();
    return first + uniform();
  };
}
