// The crossfeed on the audio thread, one render quantum at a time. Strength is a k-rate
// parameter: a change takes effect at the start of a quantum, and resets the filter there as
// the plug-in does at the start of a block. "crossfeed" switches between the processed and the
// plain signal with a short crossfade; the filter keeps running while it is off, so switching
// back joins the processed signal where it is.

import { Crossfeed } from './crossfeed.js';

const kCrossfadeSeconds = 0.02;

class CrossfeedProcessor extends AudioWorkletProcessor {
  static get parameterDescriptors() {
    return [
      { name: 'strength', defaultValue: 10, minValue: 0, maxValue: 100, automationRate: 'k-rate' },
      { name: 'crossfeed', defaultValue: 1, minValue: 0, maxValue: 1, automationRate: 'k-rate' },
    ];
  }

  constructor(options) {
    super();
    const { module, strength } = options.processorOptions;
    this.filter = new Crossfeed(module, sampleRate, strength);
    this.strength = strength;
    this.mix = 1;  // share of the processed signal
    this.step = 1 / (kCrossfadeSeconds * sampleRate);
    this.silence = new Float32Array(128);
  }

  process(inputs, outputs, parameters) {
    const [outL, outR] = outputs[0];
    const frames = outL.length;
    if (this.silence.length < frames) this.silence = new Float32Array(frames);
    // A stopped source leaves the input without channels; a mono one gives one.
    const inL = inputs[0][0] ?? this.silence;
    const inR = inputs[0][1] ?? inL;
    const strength = parameters.strength[0];
    if (strength !== this.strength) {
      this.strength = strength;
      this.filter.setStrength(strength);
    }
    const [wetL, wetR] = this.filter.process(inL, inR, frames);
    const target = parameters.crossfeed[0] >= 0.5 ? 1 : 0;
    if (this.mix === target) {
      outL.set(target === 1 ? wetL : inL.subarray(0, frames));
      outR.set(target === 1 ? wetR : inR.subarray(0, frames));
      return true;
    }
    for (let n = 0; n < frames; ++n) {
      this.mix = target === 1 ? Math.min(1, this.mix + this.step)
        : Math.max(0, this.mix - this.step);
      outL[n] = inL[n] + this.mix * (wetL[n] - inL[n]);
      outR[n] = inR[n] + this.mix * (wetR[n] - inR[n]);
    }
    return true;
  }
}

registerProcessor('varic-crossfeed', CrossfeedProcessor);
