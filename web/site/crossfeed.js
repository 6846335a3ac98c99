// The crossfeed's WebAssembly module (crossfeed.wasm, built from the plug-in's own C++ filter)
// behind a small class. One Crossfeed is one plug-in instance: the audio thread has one, file
// rendering and the response plot another.

export const paths = { sum: 0, difference: 1, sameSide: 2, oppositeSide: 3 };

// Compiled once; a WebAssembly.Module can be handed to the audio worklet as it is.
export async function loadCrossfeedModule(url = 'crossfeed.wasm') {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
  return WebAssembly.compile(await response.arrayBuffer());
}

// The crossfeed worklet (worklet.js) in an audio context: stereo in, stereo out, a mono input
// fed to both sides. Its parameters: "strength" (0 to 100) and "crossfeed" (1 on, 0 off).
export async function crossfeedNode(context, module, strength) {
  await context.audioWorklet.addModule(new URL('worklet.js', import.meta.url));
  const node = new AudioWorkletNode(context, 'varic-crossfeed', {
    numberOfInputs: 1, outputChannelCount: [2], channelCount: 2, channelCountMode: 'explicit',
    processorOptions: { module, strength },
  });
  node.parameters.get('strength').value = strength;
  return node;
}

export class Crossfeed {
  constructor(module, sampleRate, strength) {
    this.wasm = new WebAssembly.Instance(module, {}).exports;
    this.wasm._initialize();
    this.maxFrames = this.wasm.crossfeed_max_frames();
    this.buffers = [0, 1, 2, 3].map((i) =>
      new Float32Array(this.wasm.memory.buffer, this.wasm.crossfeed_buffer(i), this.maxFrames));
    this.wasm.crossfeed_set_sample_rate(sampleRate);
    this.setStrength(strength);
  }

  // Strength 0 to 100, sent as the host value S / 100 (rounded to a float by WebAssembly),
  // as `varic render --strength S` sends it. A change resets the filter at the next block.
  setStrength(strength) {
    this.wasm.crossfeed_set_parameter(strength / 100);
  }

  // One block (at most maxFrames) in the 32-bit path; the outputs are views that the next
  // block overwrites.
  process(left, right, frames) {
    const [inL, inR, outL, outR] = this.buffers;
    inL.set(left.subarray(0, frames));
    inR.set(right.subarray(0, frames));
    this.wasm.crossfeed_process(frames);
    return [outL.subarray(0, frames), outR.subarray(0, frames)];
  }

  // Whole channels, block by block, into new arrays.
  render(left, right) {
    const outLeft = new Float32Array(left.length);
    const outRight = new Float32Array(left.length);
    for (let start = 0; start < left.length; start += this.maxFrames) {
      const end = Math.min(start + this.maxFrames, left.length);
      const [l, r] = this.process(left.subarray(start, end), right.subarray(start, end),
        end - start);
      outLeft.set(l, start);
      outRight.set(r, start);
    }
    return [outLeft, outRight];
  }

  // The gain of a path (see paths) at a frequency, from the filter's coefficients.
  gain(path, frequency) {
    return this.wasm.crossfeed_response(path, frequency);
  }

  differenceGainAtZeroHz() {
    return this.wasm.crossfeed_difference_gain_at_zero_hz();
  }
}
